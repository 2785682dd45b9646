#include "data/FlightDataRecorder.h"

#include "data/Recording.h"
#include "data/RecordingFile.h"

#include <QDeadlineTimer>
#include <QMetaObject>

#include <atomic>
#include <optional>
#include <utility>

namespace glimrow {

namespace {

// What an arrival holds in memory besides its bytes: the list's slot and the array's header.
constexpr qsizetype kArrivalOverhead = qsizetype(sizeof(RecordedArrival)) + 32;
// A read of the stream is written in pieces of this size at most: escaped, each makes a line
// that replay can read (a byte takes six characters at worst).
constexpr qsizetype kStreamPieceBytes = recording::kMaxLineBytes / 8;
// How long a writer held by the kernel (a stalled disk) is waited for once told to give up.
constexpr int kGiveUpMs = 1000;

// What a snapshot's keys and values hold in memory: their characters, and a map node each.
constexpr qsizetype kSnapshotEntryOverhead = 64;

qsizetype heldBytes(const RecordedArrival& arrival)
{
    qsizetype held = arrival.bytes.size() + kArrivalOverhead;
    for (auto field = arrival.snapshot.cbegin(); field != arrival.snapshot.cend(); ++field) {
        held += kSnapshotEntryOverhead + field.key().size() * qsizetype(sizeof(QChar));
        if (field.value().metaType().id() == QMetaType::QString)
            held += field.value().toString().size() * qsizetype(sizeof(QChar));
    }
    return held;
}

// The most bytes a snapshot's line can take (every character escaped, each key twice), or
// nothing for a value of a kind whose text is not bounded so simply.
std::optional<qsizetype> lineBytesAtMost(const QVariantMap& snapshot)
{
    constexpr qsizetype kEscaped = 6;   // "\u001F"
    constexpr qsizetype kPerField = 64; // quotes, separators, a number, a type signature
    qsizetype most = 64;
    for (auto field = snapshot.cbegin(); field != snapshot.cend(); ++field) {
        most += kPerField + 2 * kEscaped * field.key().size();
        switch (field.value().metaType().id()) {
        case QMetaType::QString:
            most += kEscaped * field.value().toString().size();
            break;
        case QMetaType::Int:
        case QMetaType::Double:
        case QMetaType::Bool:
            break;
        default:
            return std::nullopt;
        }
    }
    return most;
}

} // namespace

// What the recorder and its writer both see, kept alive by either.
struct RecordingShared {
    std::atomic<qint64> waitingBytes{0}; // handed over, not yet written
    std::atomic<qint64> writtenLines{0}; // the writer's progress
    std::atomic<bool> giveUp{false};
};

// Builds the stream's lines and writes every line on the recorder's thread.
class RecordingWriter : public QObject {
    Q_OBJECT

public:
    RecordingWriter(std::unique_ptr<RecordingFile> file, qint64 limitBytes,
                    std::shared_ptr<RecordingShared> shared)
        : m_file(std::move(file)), m_limitBytes(limitBytes), m_shared(std::move(shared))
    {
    }

    void write(const QList<RecordedArrival>& arrivals, qint64 bytes)
    {
        for (const RecordedArrival& arrival : arrivals) {
            if (!m_file || m_shared->giveUp.load())
                break;
            switch (arrival.kind) {
            case RecordedArrival::Kind::Line:
                writeLine(arrival.bytes);
                break;
            case RecordedArrival::Kind::Stream:
                writeLine(recording::streamLine(arrival.ms, arrival.bytes));
                break;
            case RecordedArrival::Kind::Snapshot:
                writeLine(recording::objectLine(arrival.ms, arrival.snapshot));
                break;
            }
        }
        m_shared->waitingBytes.fetch_sub(bytes);
    }

signals:
    void stopped(const QString& why);

private:
    void writeLine(const QByteArray& line)
    {
        if (m_written + line.size() > m_limitBytes) {
            stop(QStringLiteral("Recording stopped: %1 reached its limit of %2 MB")
                     .arg(m_file->path())
                     .arg(double(m_limitBytes) / 1e6));
            return;
        }
        QString problem;
        switch (m_file->write(line, m_shared->giveUp, &problem)) {
        case RecordingFile::Written::All:
            m_written += line.size();
            m_shared->writtenLines.fetch_add(1);
            return;
        case RecordingFile::Written::GivenUp:
            m_file.reset(); // the program is ending; finish() says what was left out
            return;
        case RecordingFile::Written::Failed:
            stop(QStringLiteral("Recording stopped: cannot write %1: %2")
                     .arg(m_file->path(), problem));
            return;
        }
    }
    void stop(const QString& why)
    {
        m_file.reset();
        emit stopped(why);
    }

    std::unique_ptr<RecordingFile> m_file;
    qint64 m_limitBytes;
    qint64 m_written = 0;
    std::shared_ptr<RecordingShared> m_shared;
};

FlightDataRecorder::FlightDataRecorder(QString path, qint64 limitBytes, bool replaceExisting,
                                       QObject* parent)
    : QObject(parent), m_path(std::move(path)), m_limitBytes(limitBytes),
      m_replaceExisting(replaceExisting), m_shared(std::make_shared<RecordingShared>())
{
    m_handOver.setInterval(kHandOverMs);
    m_handOver.setSingleShot(true);
    connect(&m_handOver, &QTimer::timeout, this, &FlightDataRecorder::handOver);
}

FlightDataRecorder::~FlightDataRecorder()
{
    finish();
}

QString FlightDataRecorder::open()
{
    QString problem;
    std::unique_ptr<RecordingFile> file =
        RecordingFile::create(m_path, m_replaceExisting, &problem);
    if (!file)
        return QStringLiteral("--record: ") + problem;
    m_writer = std::make_unique<RecordingWriter>(std::move(file), m_limitBytes, m_shared);
    connect(m_writer.get(), &RecordingWriter::stopped, this, [this](const QString& why) {
        m_stopped = true;
        m_batch.clear();
        emit notice(why);
    });
    m_thread = std::make_unique<QThread>();
    m_writer->moveToThread(m_thread.get());
    m_thread->setObjectName(QStringLiteral("recorder"));
    m_thread->start(QThread::LowPriority);
    m_clock.start();
    return {};
}

void FlightDataRecorder::finish()
{
    if (!m_thread || !m_thread->isRunning())
        return;
    handOver();
    // Queued behind every batch still waiting, so all of them are written before the end.
    QMetaObject::invokeMethod(m_writer.get(), [writer = m_writer.get(), main = thread()] {
        writer->moveToThread(main);
        QThread::currentThread()->quit();
    });
    // A slow disk is waited for as long as it writes; one that stops is given up on.
    constexpr int kLookMs = 100;
    for (int stalledMs = 0; stalledMs < kFinishMs; stalledMs += kLookMs) {
        const qint64 written = m_shared->writtenLines.load();
        if (m_thread->wait(QDeadlineTimer(kLookMs)))
            return;
        if (m_shared->writtenLines.load() != written)
            stalledMs = -kLookMs;
    }
    const qint64 leftOut = m_shared->waitingBytes.load();
    m_shared->giveUp.store(true);
    if (!m_thread->wait(QDeadlineTimer(kGiveUpMs))) {
        // Held in the kernel by a stalled disk: the program ends without it.
        (void)m_thread.release();
        (void)m_writer.release();
    }
    emit notice(QStringLiteral("Recording: %1 took nothing for %3 s; the last %2 KB are left "
                               "out")
                    .arg(m_path)
                    .arg((leftOut + 1023) / 1024)
                    .arg(kFinishMs / 1000));
}

void FlightDataRecorder::sayOnce(bool* said, const QString& text)
{
    if (!std::exchange(*said, true))
        emit notice(text);
}

void FlightDataRecorder::keep(RecordedArrival arrival)
{
    if (!m_thread || !m_thread->isRunning() || m_stopped)
        return;
    const qsizetype bytes = heldBytes(arrival);
    if (m_shared->waitingBytes.load() + m_batchBytes + bytes > kMaxWaitingBytes) {
        sayOnce(&m_leftOutSaid, QStringLiteral("Recording: %1 does not keep up; arrivals are "
                                               "left out until it does")
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
    if (m_batch.isEmpty() || !m_writer)
        return;
    m_shared->waitingBytes.fetch_add(m_batchBytes);
    QMetaObject::invokeMethod(
        m_writer.get(), [writer = m_writer.get(), batch = std::exchange(m_batch, {}),
                         bytes = std::exchange(m_batchBytes, 0)] { writer->write(batch, bytes); });
}

void FlightDataRecorder::begin(const QString& program, const QString& connection)
{
    keep({0, recording::headerLine(program, connection), {}, RecordedArrival::Kind::Line});
}

void FlightDataRecorder::recordStreamRead(const QByteArray& bytes)
{
    const qint64 ms = m_clock.elapsed();
    for (qsizetype at = 0; at < bytes.size(); at += kStreamPieceBytes)
        keep({ms, bytes.mid(at, kStreamPieceBytes), {}, RecordedArrival::Kind::Stream});
}

void FlightDataRecorder::recordSnapshot(const QVariantMap& snapshot)
{
    const qint64 ms = m_clock.elapsed();
    // The line is made on the writer's thread, off the update cycle's path, unless it might be
    // too long for replay: that is found out here, so that it is said at once.
    const std::optional<qsizetype> most = lineBytesAtMost(snapshot);
    if (most && *most <= recording::kMaxLineBytes) {
        keep({ms, {}, snapshot, RecordedArrival::Kind::Snapshot});
        return;
    }
    QByteArray line = recording::objectLine(ms, snapshot);
    if (line.size() > recording::kMaxLineBytes) {
        sayOnce(&m_tooLongSaid, QStringLiteral("Recording: a snapshot of %1 MB is left out of %2: "
                                               "replay reads lines of up to %3 MB")
                                    .arg(double(line.size()) / 1e6, 0, 'f', 1)
                                    .arg(m_path)
                                    .arg(recording::kMaxLineBytes / (1024 * 1024)));
        return;
    }
    keep({ms, std::move(line), {}, RecordedArrival::Kind::Line});
}

} // namespace glimrow

#include "FlightDataRecorder.moc"
