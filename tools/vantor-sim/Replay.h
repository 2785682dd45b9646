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
    // The last line has been played (with --loop: each time round).
    void reachedEnd(qint64 played, int damaged);

private:
    void playDue();
    void play(const recording::Entry& entry);
    std::optional<recording::Entry> nextEntry();
    // The next line, without its line end; nothing at the end of the file. An over-long line
    // is read past and comes back as `tooLong`.
    std::optional<QByteArray> readLine(bool* tooLong);
    void rewind();

    QFile m_file;
    double m_speed;
    bool m_loop;
    qint64 m_lineNumber = 0;
    qint64 m_firstLineOffset = 0; // where the lines after the first begin
    int m_damaged = 0;
    qint64 m_played = 0;
    std::optional<qint64> m_firstMs; // the first entry's time: the replay's zero
    std::optional<recording::Entry> m_next;
    QElapsedTimer m_clock;
    QTimer m_timer;
    QVariantMap m_record;
    StreamFramer m_framer;
    FlightDataCache m_cache;
};

} // namespace glimrow::sim
