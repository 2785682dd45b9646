#pragma once

// `glimrow --record FILE`: what the data server sends, written as it arrives (data/Recording.h
// has the format; data/RecordingFile.h how the file is made). The update cycle never waits for
// the disk: arrivals are kept with their time and handed, a batch every kHandOverMs, to a
// thread of the recorder's own, which writes them. (One hand-over per arrival would wake that
// thread on every cycle, which costs the window more than the recording's own work.) At the
// size limit, or when the file cannot be written, recording stops and says so once; the
// program runs on.

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <QVariantMap>

#include <memory>

namespace glimrow {

class RecordingWriter;
struct RecordingShared;

// One arrival as it was kept: a line already made, a read of the stream, or a snapshot of the
// flight-data object (made into its line on the writer's thread).
struct RecordedArrival {
    enum class Kind { Line, Stream, Snapshot };
    qint64 ms = 0;
    QByteArray bytes; // the line, or the bytes read
    QVariantMap snapshot;
    Kind kind = Kind::Line;
};

class FlightDataRecorder : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 kDefaultLimitBytes = 100 * 1000 * 1000;
    // Arrivals waiting for the disk beyond this many bytes of memory are left out (which is
    // said once): memory stays bounded when the disk or a pipe cannot keep up.
    static constexpr qint64 kMaxWaitingBytes = 32 * 1024 * 1024;
    static constexpr int kHandOverMs = 100;
    // How long the end of the program waits for a disk or pipe that takes nothing more.
    static constexpr int kFinishMs = 3000;

    FlightDataRecorder(QString path, qint64 limitBytes, bool replaceExisting = false,
                       QObject* parent = nullptr);
    // Finishes, if finish() was not called.
    ~FlightDataRecorder() override;

    // Creates the file; why it cannot be, or "".
    QString open();
    // The first line: what made the recording and the connection then chosen ("tcp", "dbus").
    void begin(const QString& program, const QString& connection);
    void recordStreamRead(const QByteArray& bytes);
    void recordSnapshot(const QVariantMap& snapshot);
    // Writes what is still waiting and closes the file. A disk or pipe that takes nothing for
    // kFinishMs is given up on, and notice() says what was left out.
    void finish();

    const QString& path() const { return m_path; }

signals:
    // Something the user should hear about the recording, said once: it stopped before the
    // program did (the limit, the disk), or arrivals are being left out.
    void notice(const QString& text);

private:
    void keep(RecordedArrival arrival);
    void handOver();
    void sayOnce(bool* said, const QString& text);

    QString m_path;
    qint64 m_limitBytes;
    bool m_replaceExisting;
    QElapsedTimer m_clock;
    // Both are left behind, never destroyed, when the kernel holds the writer past its give-up.
    std::unique_ptr<QThread> m_thread;
    std::unique_ptr<RecordingWriter> m_writer; // lives in m_thread
    std::shared_ptr<RecordingShared> m_shared; // with the writer

    QList<RecordedArrival> m_batch; // kept, not yet handed over
    qsizetype m_batchBytes = 0;
    QTimer m_handOver;
    bool m_leftOutSaid = false;
    bool m_tooLongSaid = false;
    bool m_stopped = false;
};

} // namespace glimrow
