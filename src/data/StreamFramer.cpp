#include "data/StreamFramer.h"

#include <utility>

namespace glimrow {
namespace {

bool fitsInField(char byte)
{
    return (byte >= 0x20 && byte <= 0x7e) || byte == '\t';
}

} // namespace

std::optional<QByteArray> StreamFramer::take(QByteArrayView bytes)
{
    std::optional<QByteArray> newest;
    qsizetype next = 0;
    while (next < bytes.size()) {
        if (m_waiting.isEmpty()) {
            // Between frames: nothing up to the next "@" is kept.
            next = bytes.indexOf('@', next);
            if (next < 0)
                break;
            startFrame();
            ++next;
        } else if (m_separators == kSeparators) {
            // The flag: the frame is whole. An "@" here is the next frame's start instead.
            if (bytes[next] != '@')
                m_waiting += bytes[next++];
            newest = std::exchange(m_waiting, QByteArray());
        } else {
            next = takeFieldBytes(bytes, next);
        }
    }
    return newest;
}

qsizetype StreamFramer::takeFieldBytes(QByteArrayView bytes, qsizetype from)
{
    qsizetype end = from;
    while (end < bytes.size() && m_separators < kSeparators) {
        if (bytes[end] == '@')
            ++m_separators;
        else if (!fitsInField(bytes[end]))
            break;
        ++end;
    }
    const QByteArrayView run = bytes.sliced(from, end - from);
    if (m_waiting.size() + run.size() > kMaxWaitingBytes) {
        // The rest of an overlong frame is skipped up to the next "@".
        m_dropped += m_waiting.size() + run.size();
        abandonFrame();
        return end;
    }
    m_waiting += run;
    if (end < bytes.size() && m_separators < kSeparators) {
        abandonFrame(); // a byte no field holds: these were not a frame
        return end + 1;
    }
    return end;
}

void StreamFramer::clear()
{
    abandonFrame();
}

qsizetype StreamFramer::takeDroppedBytes()
{
    return std::exchange(m_dropped, 0);
}

void StreamFramer::startFrame()
{
    m_waiting = QByteArrayLiteral("@");
    m_separators = 1;
}

} // namespace glimrow
