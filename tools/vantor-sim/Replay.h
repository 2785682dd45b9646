#pragma once

// vantor-sim --replay: a recording made by `glimrow --record` served again with its timing.
// A read of the stream goes to every stream client as it was received; a snapshot of the
// flight-data object becomes what the object offers, and a frame of it goes to the stream. A
// stream recording gives the object what its frames carry (the lamp words, the speed brake and
// VantorAy). The file is read as it plays, so a recording of any size starts at once; a damaged
// line is reported with its number and skipped.

#include "data/FlightDataRecord.h"
#include "data/Recording.h"
#include "data/StreamFramer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include <optional>

namespace glimrow::sim {

class Replay : public QObject {
    Q_OBJECT

public:
    // The shortest pass of a --loop: one frame's time at the stream's default rate.
    static constexpr qint64 kShortestPassMs = 50;
    // Bytes read between two turns of the event loop: a hole of gigabytes never holds it.
    static constexpr qint64 kReadPerTurn = 4 * 1024 * 1024;
    // An arrival this long after the one before is said, so a silent server is not a mystery.
    static constexpr qint64 kLongWaitMs = 60 * 1000;

    Replay(const QString& path, double speed, bool loop, QObject* parent = nullptr);

    // Opens the file and reads its first line; why it cannot be played, or "".
    QString open();
    void start();
    // What the flight-data object offers now.
    QVariantMap record() const { return m_record; }

signals:
    // Bytes for every client of the stream.
    void streamBytes(const QByteArray& bytes);
    // Line `number` could not be read, and why; it is skipped.
    void damagedLine(qint64 number, const QString& why);
    // The arrival of line `number` is played in `waitMs`, long after the one before.
    void longWait(qint64 number, qint64 waitMs);
    // The last line has been played (with --loop: each time round).
    void reachedEnd(qint64 played, int damaged);

private:
    void playDue();
    void play(const recording::Entry& entry);
    // Reads on until the next good entry is in m_next or the file ends; false when
    // kReadPerTurn bytes were read first (the reading goes on at the next call).
    bool readAhead();
    // The line read so far is whole: it becomes m_next, or is said as damaged.
    void takeLine();
    void rewind();

    QFile m_file;
    double m_speed;
    bool m_loop;
    qint64 m_lineNumber = 0;
    qint64 m_firstLineOffset = 0; // where the lines after the first begin
    int m_damaged = 0;
    qint64 m_played = 0;
    std::optional<qint64> m_firstMs; // the first entry's time: the replay's zero
    std::optional<qint64> m_lastMs;  // the time of the entry played last
    qint64 m_waitSaidFor = 0;        // the line whose long wait was said
    QByteArray m_line;               // the line being read
    bool m_lineTooLong = false;      // ... is past the limit, and read past
    std::optional<recording::Entry> m_next;
    QElapsedTimer m_clock;
    QTimer m_timer;
    QVariantMap m_record;
    StreamFramer m_framer;
    FlightDataCache m_cache;
};

} // namespace glimrow::sim
