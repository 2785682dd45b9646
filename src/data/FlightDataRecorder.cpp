#include "data/FlightDataRecorder.h"

#include "data/Recording.h"

#include <QFile>
#include <QMetaObject>

#include <utility>

namespace glimrow {

// Builds and writes the lines on the recorder's thread.
class RecordingWriter : public QObject {
    Q_OBJECT

public:
    RecordingWriter(const QString& path, qint64 limitBytes,
                    std::shared_ptr<std::atomic<qint64>> waitingBytes)
        : m_file(path), m_limitBytes(limitBytes), m_waitingBytes(std::move(waitingBytes))
    {
    }

    QString open()
    {
        return m_file.open(QIODevice::WriteOnly | QIODevice::Truncate) ? QString()
                                                                       : m_file.errorString();
    }
    void write(const QList<RecordedArrival>& arrivals, qint64 bytes)
    {
        for (const RecordedArrival& arrival : arrivals) {
            if (!arrival.line.isEmpty())
                writeLine(arrival.line);
            else if (arrival.stream)
                writeLine(recording::streamLine(arrival.ms, *arrival.stream));
            else
                writeLine(recording::objectLine(arrival.ms, arrival.snapshot));
        }
        m_waitingBytes->fetch_sub(bytes);
        // What has been written reaches the file with each batch, so a recording cut short by
        // a crash or a power cut keeps all but its last moment.
        if (m_file.isOpen() && !m_file.flush())
            stop(QStringLiteral("Recording stopped: cannot write %1: %2")
                     .arg(m_file.fileName(), m_file.errorString()));
    }

signals:
    void stopped(const QString& why);

private:
    void writeLine(const QByteArray& line)
    {
        if (!m_file.isOpen())
            return;
        if (m_written + line.size() > m_limitBytes) {
            stop(QStringLiteral("Recording stopped: %1 reached its limit of %2 MB")
                     .arg(m_file.fileName())
                     .arg(double(m_limitBytes) / 1e6));
            return;
        }
        if (m_file.write(line) != line.size()) {
            stop(QStringLiteral("Recording stopped: cannot write %1: %2")
                     .arg(m_file.fileName(), m_file.errorString()));
            return;
        }
        m_written += line.size();
    }
    void stop(const QString& why)
    {
        m_file.close();
        emit stopped(why);
    }

    QFile m_file;
    qint64 m_limitBytes;
    qint64 m_written = 0;
    std::shared_ptr<std::atomic<qint64>> m_waitingBytes;
};

FlightDataRecorder::FlightDataRecorder(QString path, qint64 limitBytes, QObject* parent)
    : QObject(parent), m_path(std::move(path)), m_limitBytes(limitBytes),
      m_waitingBytes(std::make_shared<std::atomic<qint64>>(0))
{
    m_writer = new RecordingWriter(m_path, m_limitBytes, m_waitingBytes);
    connect(m_writer, &RecordingWriter::stopped, this, [this](const QString& why) {
        m_stopped = true;
        m_batch.clear();
        emit notice(why);
    });
    m_handOver.setInterval(kHandOverMs);
    m_handOver.setSingleShot(true);
    connect(&m_handOver, &QTimer::timeout, this, &FlightDataRecorder::handOver);
}

FlightDataRecorder::~FlightDataRecorder()
{
    if (m_thread.isRunning()) {
        handOver();
        // Queued behind every batch still waiting, so all of them are written before the end.
        QMetaObject::invokeMethod(m_writer, [this] {
            m_writer->moveToThread(thread());
            m_thread.quit();
        });
        m_thread.wait();
    }
    delete m_writer;
}

QString FlightDataRecorder::open()
{
    const QString problem = m_writer->open();
    if (!problem.isEmpty())
        return QStringLiteral("--record: cannot write %1: %2").arg(m_path, problem);
    m_writer->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("recorder"));
    m_thread.start(QThread::LowPriority);
    m_clock.start();
    return {};
}

void FlightDataRecorder::keep(RecordedArrival arrival, qsizetype bytes)
{
    if (!m_thread.isRunning() || m_stopped)
        return;
    if (m_waitingBytes->load() + m_batchBytes + bytes > kMaxWaitingBytes) {
        if (!std::exchange(m_leftOutSaid, true))
            emit notice(QStringLiteral("Recording: the disk does not keep up with %1; arrivals "
                                       "are left out until it does")
                            .arg(m_path));
        return;
    }
    m_batch.append(std::move(arrival));
    m_batchBytes += bytes;
    if (!m_handOver.isActive())
        m_handOver.start();
}

void FlightDataRecorder::handOver()
{
    if (m_batch.isEmpty())
        return;
    m_waitingBytes->fetch_add(m_batchBytes);
    QMetaObject::invokeMethod(
        m_writer, [writer = m_writer, batch = std::exchange(m_batch, {}),
                   bytes = std::exchange(m_batchBytes, 0)] { writer->write(batch, bytes); });
}

void FlightDataRecorder::begin(const QString& program, const QString& connection)
{
    QByteArray line = recording::headerLine(program, connection);
    const qsizetype bytes = line.size();
    keep({0, std::nullopt, {}, std::move(line)}, bytes);
}

void FlightDataRecorder::recordStreamRead(const QByteArray& bytes)
{
    keep({m_clock.elapsed(), bytes, {}, {}}, bytes.size());
}

void FlightDataRecorder::recordSnapshot(const QVariantMap& snapshot)
{
    // What a snapshot holds is only measured once it is written; its texts dominate.
    constexpr qsizetype kSnapshotGuess = 2048;
    keep({m_clock.elapsed(), std::nullopt, snapshot, {}}, kSnapshotGuess);
}

} // namespace glimrow

#include "FlightDataRecorder.moc"
