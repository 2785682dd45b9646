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
    for (const char byte : bytes) {
        if (m_waiting.isEmpty()) {
            if (byte == '@')
                startFrame();
            continue; // between frames: nothing to keep
        }
        if (m_separators == kSeparators) {
            // The flag: the frame is whole. An "@" here is the next frame's start instead.
            if (byte != '@')
                m_waiting += byte;
            newest = m_waiting;
            abandonFrame();
            if (byte == '@')
                startFrame();
            continue;
        }
        if (!fitsInField(byte)) {
            abandonFrame();
            continue;
        }
        if (m_waiting.size() >= kMaxWaitingBytes) {
            m_dropped += m_waiting.size();
            abandonFrame();
            continue; // the rest of this overlong frame is skipped up to the next "@"
        }
        m_waiting += byte;
        if (byte == '@')
            ++m_separators;
    }
    return newest;
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
