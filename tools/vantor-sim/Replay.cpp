#include "Replay.h"

#include "FlightScript.h"
#include "data/StreamDecoder.h"

#include <algorithm>

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
    m_next = nextEntry();
    playDue();
}

std::optional<QByteArray> Replay::readLine(bool* tooLong)
{
    if (m_file.atEnd())
        return std::nullopt;
    ++m_lineNumber;
    // In pieces: a read of the whole limit would make a buffer of that size for every line.
    constexpr qint64 kPiece = 64 * 1024;
    QByteArray line;
    *tooLong = false;
    bool ended = false; // the piece read last ended the line
    while (!ended && !m_file.atEnd()) {
        const QByteArray piece = m_file.readLine(kPiece);
        ended = piece.endsWith('\n');
        if (!*tooLong)
            line += piece;
        if (line.size() > recording::kMaxLineBytes) {
            *tooLong = true; // the rest of the line is read past and dropped
            line.clear();
        }
    }
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

std::optional<recording::Entry> Replay::nextEntry()
{
    bool tooLong = false;
    while (const std::optional<QByteArray> line = readLine(&tooLong)) {
        QString problem = QStringLiteral("longer than %1 bytes").arg(recording::kMaxLineBytes);
        if (!tooLong) {
            if (std::optional<recording::Entry> entry = recording::parseLine(*line, &problem))
                return entry;
        }
        ++m_damaged;
        emit damagedLine(m_lineNumber, problem);
    }
    return std::nullopt;
}

void Replay::rewind()
{
    m_file.seek(m_firstLineOffset);
    m_lineNumber = 1;
    m_firstMs.reset();
    m_clock.restart();
}

void Replay::playDue()
{
    if (m_next) {
        if (!m_firstMs)
            m_firstMs = m_next->ms;
        const auto dueMs = qint64(double(m_next->ms - *m_firstMs) / m_speed);
        const qint64 waitMs = dueMs - m_clock.elapsed();
        if (waitMs <= 0) {
            play(*m_next);
            m_next = nextEntry();
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
            m_next = nextEntry();
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
