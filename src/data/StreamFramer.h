#pragma once

// Cuts the data server's TCP/IP stream into frames, whatever pieces the network delivers.
//
// A frame is "@", fields 1 to 80 each ended by "@", then field 81, whose first character is
// the active flag (a frame whose field 81 is empty ends where the next frame's "@" begins).
// Whatever follows the flag up to the next "@" (a line end, say) belongs to no frame. Fields
// hold printable text only: a control or non-ASCII byte inside a frame means the bytes were
// not a frame, and the search starts again at the next "@", so noise cannot shift every later
// frame by a field.

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace glimrow {

class StreamFramer {
public:
    // Separators in a whole frame, its leading "@" included.
    static constexpr int kSeparators = 81;
    // Bytes of an incomplete frame kept while they wait for the rest.
    static constexpr qsizetype kMaxWaitingBytes = 64 * 1024;

    // Takes the bytes that have arrived; gives the newest frame they complete, if any. Older
    // frames completed by the same bytes are passed over: only the latest state matters.
    std::optional<QByteArray> take(QByteArrayView bytes);
    // Forgets a partial frame (a new connection starts on a frame boundary).
    void clear();
    // Bytes of incomplete frames dropped because they outgrew kMaxWaitingBytes, since the
    // last call; the caller logs the loss.
    qsizetype takeDroppedBytes();

private:
    void startFrame();
    // Takes field bytes from `from` up to the frame's last separator, a byte no field holds,
    // or the end; gives where to go on.
    qsizetype takeFieldBytes(QByteArrayView bytes, qsizetype from);
    void abandonFrame() { m_waiting.clear(); }

    QByteArray m_waiting; // from a frame's leading "@"; empty between frames
    int m_separators = 0;
    qsizetype m_dropped = 0;
};

} // namespace glimrow
