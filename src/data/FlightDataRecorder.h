#pragma once

// `glimrow --record FILE`: what the data server sends, written as it arrives (data/Recording.h
// has the format). The update cycle never waits for the disk: arrivals are kept with their
// time and handed, a batch every kHandOverMs, to a thread of the recorder's own, which builds
// the lines and writes them. (One hand-over per arrival would wake that thread on every cycle,
// which costs the window more than the recording's own work.) At the size limit, or when the
// file cannot be written, recording stops and says so once; the program runs on.

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <optional>

namespace glimrow {

class RecordingWriter;

// One arrival as it was kept: a read of the stream, a snapshot, or a line already made.
struct RecordedArrival {
    qint64 ms = 0;
    std::optional<QByteArray> stream;
    QVariantMap snapshot;
    QByteArray line;
};

class FlightDataRecorder : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 kDefaultLimitBytes = 100 * 1000 * 1000;
    // Arrivals waiting for the disk beyond this are left out (which is said once): memory
    // stays bounded when the disk cannot keep up.
    static constexpr qint64 kMaxWaitingBytes = 32 * 1024 * 1024;
    static constexpr int kHandOverMs = 100;

    FlightDataRecorder(QString path, qint64 limitBytes, QObject* parent = nullptr);
    // Writes what is still waiting, then closes the file.
    ~FlightDataRecorder() override;

    // Creates the file; why it cannot be, or "".
    QString open();
    // The first line: what made the recording and the connection then chosen ("tcp", "dbus").
    void begin(const QString& program, const QString& connection);
    void recordStreamRead(const QByteArray& bytes);
    void recordSnapshot(const QVariantMap& snapshot);

    const QString& path() const { return m_path; }

signals:
    // Something the user should hear about the recording, said once: it stopped before the
    // program did (the limit, the disk), or arrivals are being left out.
    void notice(const QString& text);

private:
    void keep(RecordedArrival arrival, qsizetype bytes);
    void handOver();

    QString m_path;
    qint64 m_limitBytes;
    QElapsedTimer m_clock;
    QThread m_thread;
    RecordingWriter* m_writer = nullptr;                 // lives in m_thread
    std::shared_ptr<std::atomic<qint64>> m_waitingBytes; // handed over, not yet written
    QList<RecordedArrival> m_batch;                      // kept, not yet handed over
    qsizetype m_batchBytes = 0;
    QTimer m_handOver;
    bool m_leftOutSaid = false;
    bool m_stopped = false;
};

} // namespace glimrow
