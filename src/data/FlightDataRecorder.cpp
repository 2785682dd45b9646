#include "data/FlightDataRecorder.h"

#include "data/Recording.h"

#include <QFile>
#include <QMetaObject>

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
    void write(const QByteArray& line, qsizetype queued)
    {
        m_waitingBytes->fetch_sub(queued);
        if (!m_file.isOpen())
            return;
        if (m_written + line.size() > m_limitBytes) {
            stop(QStringLiteral("Recording stopped: %1 reached its limit of %2 MB")
                     .arg(m_file.fileName())
                     .arg(double(m_limitBytes) / 1e6));
            return;
        }
        // Each line reaches the file as it is written, so a recording cut short by a crash or a
        // power cut keeps everything up to its last line.
        if (m_file.write(line) != line.size() || !m_file.flush()) {
            stop(QStringLiteral("Recording stopped: cannot write %1: %2")
                     .arg(m_file.fileName(), m_file.errorString()));
            return;
        }
        m_written += line.size();
    }

signals:
    void stopped(const QString& why);

private:
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
        emit notice(why);
    });
}

FlightDataRecorder::~FlightDataRecorder()
{
    if (m_thread.isRunning()) {
        // Queued behind every line still waiting, so all of them are written before the end.
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

bool FlightDataRecorder::mayQueue(qsizetype bytes)
{
    if (!m_thread.isRunning() || m_stopped)
        return false;
    if (m_waitingBytes->load() + bytes > kMaxWaitingBytes) {
        if (m_lost++ == 0)
            emit notice(QStringLiteral("Recording: the disk does not keep up with %1; arrivals "
                                       "are left out until it does")
                            .arg(m_path));
        return false;
    }
    m_waitingBytes->fetch_add(bytes);
    return true;
}

void FlightDataRecorder::begin(const QString& program, const QString& connection)
{
    const QByteArray line = recording::headerLine(program, connection);
    if (mayQueue(line.size()))
        QMetaObject::invokeMethod(m_writer,
                                  [writer = m_writer, line] { writer->write(line, line.size()); });
}

void FlightDataRecorder::recordStreamRead(const QByteArray& bytes)
{
    const qint64 ms = m_clock.elapsed();
    if (mayQueue(bytes.size()))
        QMetaObject::invokeMethod(m_writer, [writer = m_writer, ms, bytes] {
            writer->write(recording::streamLine(ms, bytes), bytes.size());
        });
}

void FlightDataRecorder::recordSnapshot(const QVariantMap& snapshot)
{
    // What the snapshot holds is only measured once it is written; its texts dominate.
    constexpr qsizetype kSnapshotGuess = 2048;
    const qint64 ms = m_clock.elapsed();
    if (mayQueue(kSnapshotGuess))
        QMetaObject::invokeMethod(m_writer, [writer = m_writer, ms, snapshot] {
            writer->write(recording::objectLine(ms, snapshot), kSnapshotGuess);
        });
}

} // namespace glimrow

#include "FlightDataRecorder.moc"
