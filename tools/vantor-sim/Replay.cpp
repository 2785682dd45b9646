#include "Replay.h"

#include "FlightScript.h"
#include "data/StreamDecoder.h"

#include <algorithm>
#include <utility>

namespace glimrow::sim {

Replay::Replay(const QString& path, double speed, bool loop, QObject* parent)
    : QObject(parent), m_file(path), m_speed(speed), m_loop(loop)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Replay::playDue);
    for (const FlightDataFieldInfo& field : flightDataFields())
        m_record[QLatin1StringView(field.name)] =
            field.type == FlightDataType::Text ? QVariant(QString()) : QVariant(0);
}

QString Replay::open()
{
    if (!m_file.open(QIODevice::ReadOnly))
        return m_file.errorString();
    // Only the first line's start is read: a file of gigabytes without a line end is refused
    // at once.
    const QByteArray start = m_file.readLine(recording::kMaxLineBytes + 1);
    const bool tooLong = !start.endsWith('\n') && !m_file.atEnd();
    m_lineNumber = 1;
    const std::optional<QByteArray> header =
        start.isEmpty() ? std::nullopt : std::optional<QByteArray>(start.trimmed());
    if (!header || tooLong)
        return QStringLiteral("line 1: not a Glimrow recording (%1)")
            .arg(header ? QStringLiteral("its first line is too long")
                        : QStringLiteral("the file is empty"));
    if (const QString problem = recording::headerProblem(*header); !problem.isEmpty())
        return QStringLiteral("line 1: ") + problem;
    m_firstLineOffset = m_file.pos();
    return {};
}

void Replay::start()
{
    m_clock.start();
    playDue();
}

bool Replay::readAhead()
{
    // In pieces: a read of the whole limit would make a buffer of that size for every line.
    constexpr qint64 kPiece = 64 * 1024;
    qint64 budget = kReadPerTurn;
    while (!m_next && !m_file.atEnd()) {
        if (budget <= 0)
            return false;
        const QByteArray piece = m_file.readLine(kPiece);
        budget -= piece.size();
        if (!m_lineTooLong)
            m_line += piece;
        if (m_line.size() > recording::kMaxLineBytes) {
            m_lineTooLong = true; // the rest of the line is read past and dropped
            m_line.clear();
        }
        if (piece.endsWith('\n') || m_file.atEnd())
            takeLine();
    }
    return true;
}

void Replay::takeLine()
{
    ++m_lineNumber;
    while (m_line.endsWith('\n') || m_line.endsWith('\r'))
        m_line.chop(1);
    QString problem = QStringLiteral("longer than %1 bytes").arg(recording::kMaxLineBytes);
    if (!m_lineTooLong)
        m_next = recording::parseLine(m_line, &problem);
    if (!m_next) {
        ++m_damaged;
        emit damagedLine(m_lineNumber, problem);
    }
    m_line.clear();
    m_lineTooLong = false;
}

void Replay::rewind()
{
    m_file.seek(m_firstLineOffset);
    m_lineNumber = 1;
    m_line.clear();
    m_lineTooLong = false;
    m_firstMs.reset();
    m_lastMs.reset();
    m_waitSaidFor = 0;
    m_clock.restart();
}

void Replay::playDue()
{
    // A hole or a very long line is read a piece per turn, the event loop between them.
    if (!readAhead()) {
        m_timer.start(0);
        return;
    }
    if (m_next) {
        if (!m_firstMs)
            m_firstMs = m_next->ms;
        const auto dueMs = qint64(double(m_next->ms - *m_firstMs) / m_speed);
        const qint64 waitMs = dueMs - m_clock.elapsed();
        if (m_lastMs && double(m_next->ms - *m_lastMs) / m_speed > kLongWaitMs &&
            std::exchange(m_waitSaidFor, m_lineNumber) != m_lineNumber)
            emit longWait(m_lineNumber, waitMs);
        if (waitMs <= 0) {
            m_lastMs = m_next->ms;
            play(*m_next);
            m_next.reset();
        }
        // One arrival at a time, the event loop between them: clients are taken in and sent
        // to even while the replay runs late.
        m_timer.start(int(std::clamp<qint64>(waitMs, 0, 60 * 60 * 1000)));
        return;
    }
    emit reachedEnd(m_played, m_damaged);
    if (m_loop && m_played > 0) {
        // A pass takes at least a frame's time: a recording whose arrivals share one time
        // would otherwise go round as fast as a core can.
        const qint64 restMs = std::max<qint64>(0, kShortestPassMs - m_clock.elapsed());
        QTimer::singleShot(int(restMs), Qt::PreciseTimer, this, [this] {
            rewind();
            playDue();
        });
    }
}

void Replay::play(const recording::Entry& entry)
{
    ++m_played;
    if (entry.stream) {
        emit streamBytes(*entry.stream);
        if (const std::optional<QByteArray> frame = m_framer.take(*entry.stream)) {
            StreamDecoder::decode(*frame, m_cache);
            m_record[QStringLiteral("SpeedBrake")] = double(m_cache.SpeedBrake);
            m_record[QStringLiteral("LightBits")] = m_cache.LightBits;
            m_record[QStringLiteral("LightBits2")] = m_cache.LightBits2;
            m_record[QStringLiteral("LightBits3")] = m_cache.LightBits3;
            m_record[QStringLiteral("VantorAy")] = m_cache.VantorAy;
        }
        return;
    }
    for (auto field = entry.object.cbegin(); field != entry.object.cend(); ++field)
        m_record[field.key()] = field.value();
    emit streamBytes(FlightScript::frameFor(m_record));
}

} // namespace glimrow::sim
