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

// Whether every field of a frame (its leading character left out) is empty or opens like a
// number. Only guessed frames are held to it: a server may write anything in fields the
// program does not read.
bool fieldsLookLikeNumbers(QByteArrayView frame)
{
    bool fieldStart = true;
    for (qsizetype at = 1; at < frame.size(); ++at) {
        const char byte = frame[at];
        if (byte == '@') {
            fieldStart = true;
        } else if (fieldStart && byte != ' ' && byte != '\t') {
            const bool numberOpening = (byte >= '0' && byte <= '9') || byte == '-' || byte == '+' ||
                                       byte == '.' || byte == '&';
            if (!numberOpening)
                return false;
            fieldStart = false;
        }
    }
    return true;
}

} // namespace

std::optional<QByteArray> StreamFramer::take(QByteArrayView bytes)
{
    m_newest.reset();
    if (bytes.isEmpty())
        return m_newest;
    // A read begins where the server began a write: a sure start when nothing waits, and a
    // better one than a guessed or spoiled frame waiting for the rest.
    if (isWaiting() && (m_guessed || m_spoilingBytes > 0) && bytes.front() == '@')
        loseFrame(Place::SureStart);
    else if (!isWaiting())
        m_place = Place::SureStart;

    qsizetype at = 0;
    while (at < bytes.size()) {
        if (!isWaiting()) {
            at = betweenFrames(bytes, at);
        } else if (m_separators < kSeparators) {
            at = insideFrame(bytes, at);
        } else {
            const bool flagHere = bytes[at] != '@' && !isLineEnd(bytes[at]);
            finishFrame(bytes, at);
            at += flagHere ? 1 : 0;
        }
    }
    return std::exchange(m_newest, std::nullopt);
}

qsizetype StreamFramer::betweenFrames(QByteArrayView bytes, qsizetype at)
{
    const char byte = bytes[at];
    if (isLineEnd(byte)) {
        m_place = Place::SureStart;
        return at + 1;
    }
    switch (m_place) {
    case Place::SureStart:
        if (byte == '@' || fitsInField(byte))
            startFrame(byte, false);
        else
            m_place = Place::Lost;
        return at + 1;
    case Place::AfterFrame:
        if (byte == '@')
            startFrame(byte, m_guessed);
        return at + 1;
    case Place::Lost: {
        // An "@" followed by another opens an empty field: a run of separators, not a frame.
        const qsizetype start = bytes.indexOf('@', at);
        if (start < 0)
            return bytes.size();
        if (start + 1 == bytes.size() || bytes[start + 1] != '@')
            startFrame('@', true);
        return start + 1;
    }
    }
    return at + 1;
}

qsizetype StreamFramer::insideFrame(QByteArrayView bytes, qsizetype at)
{
    qsizetype end = at;
    while (end < bytes.size() && m_separators < kSeparators) {
        const char byte = bytes[end];
        if (byte == '@') {
            ++m_separators;
        } else if (isLineEnd(byte)) {
            loseFrame(Place::SureStart); // a frame never spans a line end
            return end + 1;
        } else if (!fitsInField(byte)) {
            // Left out, counted: one byte inside a field spoils the frame; a second one, or
            // one in front of a separator, says that these bytes were not a frame.
            m_frame += bytes.sliced(at, end - at);
            at = end + 1;
            const bool beforeSeparator = end + 1 < bytes.size() && bytes[end + 1] == '@';
            if (++m_spoilingBytes > 1 || beforeSeparator) {
                loseFrame(Place::Lost);
                return end + 1;
            }
        }
        ++end;
    }
    m_frame += bytes.sliced(at, end - at);
    if (m_frame.size() > kMaxWaitingBytes) {
        m_dropped += m_frame.size();
        loseFrame(Place::Lost);
    }
    return end;
}

void StreamFramer::finishFrame(QByteArrayView bytes, qsizetype at)
{
    const char next = bytes[at];
    if (next == '@' && m_frame.endsWith("@@")) {
        // Fields 80 and 81 empty and more separators coming: a run of "@", not a frame.
        loseFrame(Place::Lost);
        return;
    }
    if (next != '@' && !isLineEnd(next)) {
        if (fitsInField(next))
            m_frame += next;
        else
            ++m_spoilingBytes;
    }
    const bool spoiled = m_spoilingBytes > 0;
    if (spoiled || !m_guessed || fieldsLookLikeNumbers(m_frame)) {
        if (!spoiled)
            m_newest = m_frame;
        // The frames that follow are as sure as this one; a spoiled frame kept its place only
        // if the spoiling byte was one inserted.
        m_guessed = m_guessed || spoiled;
        loseFrame(Place::AfterFrame);
    } else {
        loseFrame(Place::Lost);
    }
}

void StreamFramer::clear()
{
    loseFrame(Place::SureStart);
    m_guessed = false;
}

qsizetype StreamFramer::takeDroppedBytes()
{
    return std::exchange(m_dropped, 0);
}

void StreamFramer::startFrame(char leading, bool guessed)
{
    m_frame = QByteArray(1, leading);
    m_separators = 1;
    m_spoilingBytes = 0;
    m_guessed = guessed;
}

void StreamFramer::loseFrame(Place next)
{
    m_frame.clear();
    m_separators = 0;
    m_spoilingBytes = 0;
    m_place = next;
}

} // namespace glimrow
