#include "data/StreamFramer.h"

#include <utility>

namespace glimrow {
namespace {

bool fitsInField(char byte)
{
    return (byte >= 0x20 && byte <= 0x7e) || byte == '\t';
}

bool isLineEnd(char byte)
{
    return byte == '\r' || byte == '\n';
}

// What the rest of field 81 may hold after its flag ("1.0", "1E0").
bool fitsInNumber(char byte)
{
    return (byte >= '0' && byte <= '9') || byte == '.' || byte == '-' || byte == '+' ||
           byte == 'e' || byte == 'E' || byte == ' ' || byte == '\t';
}

} // namespace

std::optional<QByteArray> StreamFramer::take(QByteArrayView bytes)
{
    m_newest.reset();
    qsizetype at = 0;
    while (at < bytes.size()) {
        if (!isWaiting())
            at = betweenFrames(bytes, at);
        else if (m_separators < kSeparators)
            at = insideFrame(bytes, at);
        else
            at = finishFrame(bytes, at);
    }
    return std::exchange(m_newest, std::nullopt);
}

qsizetype StreamFramer::betweenFrames(QByteArrayView bytes, qsizetype at)
{
    const char byte = bytes[at];
    if (isLineEnd(byte)) {
        m_place = Place::SureStart;
        m_lineEndsSeen = true;
        m_lostBytes = 0;
        return at + 1;
    }
    if (!fitsInField(byte))
        return at + 1; // noise between frames spoils nothing
    switch (m_place) {
    case Place::SureStart:
        m_leading = byte;
        startFrame(byte);
        break;
    case Place::AfterFrame:
        if (byte == m_leading)
            startFrame(byte);
        else if (!fitsInNumber(byte) || fitsInNumber(m_leading))
            m_place = Place::Lost; // field 81 holds more than a number: where do frames start?
        break;
    case Place::Lost: {
        qsizetype end = at;
        while (end < bytes.size() && !isLineEnd(bytes[end]))
            ++end;
        m_lostBytes += end - at;
        return end;
    }
    }
    return at + 1;
}

qsizetype StreamFramer::insideFrame(QByteArrayView bytes, qsizetype at)
{
    qsizetype kept = at; // bytes from here on are not yet in m_frame
    qsizetype end = at;
    for (; end < bytes.size() && m_separators < kSeparators; ++end) {
        const char byte = bytes[end];
        if (byte == '@') {
            ++m_separators;
        } else if (isLineEnd(byte)) {
            endFrame(Place::SureStart); // a frame never spans a line end
            m_lineEndsSeen = true;
            return end + 1;
        } else if (!fitsInField(byte)) {
            m_frame += bytes.sliced(kept, end - kept);
            kept = end + 1;
            m_spoiled = true;
        }
    }
    m_frame += bytes.sliced(kept, end - kept);
    if (m_frame.size() > kMaxWaitingBytes) {
        m_dropped += m_frame.size();
        endFrame(Place::Lost);
    }
    return end;
}

qsizetype StreamFramer::finishFrame(QByteArrayView bytes, qsizetype at)
{
    const char byte = bytes[at];
    if (!fitsInField(byte) && !isLineEnd(byte)) {
        m_spoiled = true; // noise where the flag should be; the flag may still follow
        return at + 1;
    }
    if (byte == '@' && m_frame.endsWith("@@")) {
        // Fields 80 and 81 empty and separators running on: a run of "@", not a frame (a
        // server always writes the flag).
        endFrame(Place::Lost);
        return at + 1;
    }
    // The flag, unless field 81 is empty and this opens the next frame (or ends the line).
    const bool flag = byte != m_leading && !isLineEnd(byte);
    if (flag)
        m_frame += byte;
    if (!m_spoiled)
        m_newest = m_frame;
    endFrame(Place::AfterFrame);
    return flag ? at + 1 : at;
}

void StreamFramer::clear()
{
    endFrame(Place::SureStart);
    m_leading = '@';
    m_lineEndsSeen = false;
}

qsizetype StreamFramer::takeDroppedBytes()
{
    return std::exchange(m_dropped, 0);
}

void StreamFramer::startFrame(char leading)
{
    m_frame = QByteArray(1, leading);
    m_separators = 1;
    m_spoiled = false;
}

void StreamFramer::endFrame(Place next)
{
    m_frame.clear();
    m_separators = 0;
    m_spoiled = false;
    m_place = next;
    m_lostBytes = 0;
}

} // namespace glimrow
