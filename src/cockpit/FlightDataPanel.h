#pragma once

// What the Flight Data tab shows, worked out without a window: the values last read from the
// data server (the stream's five fields, or every property of the flight-data object with its
// D-Bus type), each light-bit word bit by bit with the lamp lines that follow that bit, how
// many frames or snapshots arrive a second, and the stream's last frame as readable text.

#include "cockpit/ConfigTables.h"
#include "data/FlightDataRecord.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <deque>

namespace glimrow {

struct FlightDataValue {
    QString name;
    QString type; // the D-Bus signature ("i", "d", "s", "b"), or the stream field it came from
    QString value;
};

struct LightBit {
    QString word; // "LightBits", "LightBits2", "LightBits3"
    int bit = 0;
    std::int32_t mask = 0; // the mask that tests this bit alone
    bool on = false;
    QStringList lamps; // "PLED64-1 line 3: Engine Fire (LED 5)"
};

struct FlightDataShown {
    QList<FlightDataValue> values;
    QList<LightBit> bits; // 32 for each word, in order
    double arrivalsPerSecond = 0;
    QString lastFrame; // the stream's last frame, escaped; empty with the flight-data object
};

class FlightDataPanel {
public:
    FlightDataPanel();

    // What arrived: a frame of the stream, or a snapshot of the flight-data object.
    void takeFrame(const QByteArray& frame);
    void takeSnapshot(const QVariantMap& snapshot);

    // The tab's contents now; `fromObject`: the flight-data object is the source.
    FlightDataShown describe(const FlightDataCache& cache, const ConfigTables& tables,
                             bool fromObject);

private:
    void noteArrival();
    void forgetOldArrivals();

    QByteArray m_lastFrame;
    QVariantMap m_lastSnapshot;
    QElapsedTimer m_clock;
    std::deque<qint64> m_arrivals; // within the last kRateWindowMs
};

} // namespace glimrow
