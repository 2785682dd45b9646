#pragma once

// Cuts the data server's TCP/IP stream into frames, whatever pieces the network delivers.
//
// A frame is a leading character (normally "@"), fields 1 to 80 each ended by "@", then field
// 81, whose first character is the active flag. Frames may be ended by a line end or follow
// one another directly; a frame whose field 81 is empty ends where the next frame's "@" begins.
//
// Nothing in a frame says where it starts but the count of its separators, so noise must not
// move that count for good:
// - A byte that no field holds (a control or non-ASCII byte) inside a field spoils its frame,
//   which is not passed on; the frame still ends where its separators say, so an inserted byte
//   costs one frame. A second such byte, or one in front of a separator, means the bytes were
//   not a frame at all.
// - Separators that run on into field 81 (a run of "@") are not a frame either.
// - After either, the framer has lost its place: the next frame is looked for at an "@" that
//   opens a field, and that start is only a guess. The start of a read, when nothing waits, and
//   the byte after a line end are sure starts (a server writes a frame at a time), so a read
//   that opens with "@" replaces a guessed frame that still waits.
// At a sure start a frame's leading character may be any printable character, as some servers
// send; elsewhere a frame starts at "@".

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace glimrow {

class StreamFramer {
public:
    // Separators in a whole frame, its leading character included.
    static constexpr int kSeparators = 81;
    // Bytes of an incomplete frame kept while they wait for the rest.
    static constexpr qsizetype kMaxWaitingBytes = 64 * 1024;

    // Takes the bytes of one read; gives the newest frame they complete, if any. Older frames
    // completed by the same bytes are passed over: only the latest state matters.
    std::optional<QByteArray> take(QByteArrayView bytes);
    // Forgets a partial frame (a new connection starts on a frame boundary).
    void clear();
    // Bytes of incomplete frames dropped because they outgrew kMaxWaitingBytes, since the
    // last call; the caller logs the loss.
    qsizetype takeDroppedBytes();

private:
    // Where the bytes between frames stand.
    enum class Place {
        SureStart,  // the next printable byte starts a frame
        AfterFrame, // the rest of field 81 may follow; the next "@" starts a frame
        Lost,       // noise: the next "@" that opens a field may start a frame
    };

    // Between frames: starts a frame at bytes[at] or skips it; gives where to go on.
    qsizetype betweenFrames(QByteArrayView bytes, qsizetype at);
    // Inside a frame: takes field bytes from `at`; gives where to go on.
    qsizetype insideFrame(QByteArrayView bytes, qsizetype at);
    // The frame's 81 separators are in: bytes[at] (if any) is its flag or the next frame's "@".
    void finishFrame(QByteArrayView bytes, qsizetype at);
    void startFrame(char leading, bool guessed);
    void loseFrame(Place next);
    bool isWaiting() const { return !m_frame.isEmpty(); }

    QByteArray m_frame; // from the frame's leading character; empty between frames
    int m_separators = 0;
    int m_spoilingBytes = 0; // bytes of the frame that no field holds (left out of m_frame)
    bool m_guessed = false;  // the frame started where a frame was only likely to start
    Place m_place = Place::SureStart;
    std::optional<QByteArray> m_newest;
    qsizetype m_dropped = 0;
};

} // namespace glimrow
