#pragma once

// Cuts the data server's TCP/IP stream into frames, whatever pieces the network delivers.
//
// A frame is a leading character (normally "@"), fields 1 to 80 each ended by "@", then field
// 81, whose first character is the active flag and whose rest is ignored. Frames may be ended
// by a line end or follow one another directly. Nothing in a frame says where it starts but the
// count of its separators, and where a read begins says nothing at all (TCP cuts a stream
// anywhere), so a frame starts only where the stream itself says one does:
// - at a sure start: the start of a connection, or after a line end. There the leading
//   character may be any printable character, as some servers send; it is remembered;
// - right after a frame: the rest of field 81 (what a number may hold) is passed over, and the
//   next frame opens at the remembered leading character.
// Noise cannot move that count:
// - A byte that no field holds (a control or non-ASCII byte) is left out wherever it stands,
//   and spoils only the frame it is in, which is not passed on; its separators still count.
// - What the count cannot survive (a run of "@" running on past a frame's end, a frame
//   outgrowing kMaxWaitingBytes, field 81 holding what no number holds) loses the framer its
//   place: no frame is passed on until a line end or a new connection gives a sure start again. A
//   frame read from the wrong fields would light the wrong lamps. A stream that has sent no line
//   end since it began, or none for kLostBytesBeforeNewConnection bytes, will not give one:
//   needsNewConnection() says so.

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
    // Bytes passed over while lost, without a line end, before only a new connection can help.
    static constexpr qsizetype kLostBytesBeforeNewConnection = 4096;

    // Takes the bytes of one read; gives the newest frame they complete, if any. Older frames
    // completed by the same bytes are passed over: only the latest state matters.
    std::optional<QByteArray> take(QByteArrayView bytes);
    // A new connection: it starts on a frame boundary.
    void clear();
    // The framer has lost its place in a stream that ends no line: only a new connection can
    // say where its frames start.
    bool needsNewConnection() const
    {
        return m_place == Place::Lost &&
               (!m_lineEndsSeen || m_lostBytes >= kLostBytesBeforeNewConnection);
    }
    // Bytes of incomplete frames dropped because they outgrew kMaxWaitingBytes, since the
    // last call; the caller logs the loss.
    qsizetype takeDroppedBytes();

private:
    // Where the bytes between frames stand.
    enum class Place {
        SureStart,  // the next printable byte starts a frame
        AfterFrame, // the rest of field 81 may follow; the leading character starts a frame
        Lost,       // no frame starts before the next line end
    };

    // Between frames: starts a frame at bytes[at] or passes over it; gives where to go on.
    qsizetype betweenFrames(QByteArrayView bytes, qsizetype at);
    // Inside a frame: takes field bytes from `at`; gives where to go on.
    qsizetype insideFrame(QByteArrayView bytes, qsizetype at);
    // The frame's 81 separators are in: bytes[at] is its flag, or opens the next frame; gives
    // where to go on.
    qsizetype finishFrame(QByteArrayView bytes, qsizetype at);
    void startFrame(char leading);
    void endFrame(Place next);
    bool isWaiting() const { return !m_frame.isEmpty(); }

    QByteArray m_frame; // from the frame's leading character; empty between frames
    int m_separators = 0;
    bool m_spoiled = false; // a byte no field holds was left out of it
    char m_leading = '@';   // what opened the frames since the last sure start
    Place m_place = Place::SureStart;
    bool m_lineEndsSeen = false; // since the connection began
    qsizetype m_lostBytes = 0;   // passed over since the place was lost
    std::optional<QByteArray> m_newest;
    qsizetype m_dropped = 0;
};

} // namespace glimrow
