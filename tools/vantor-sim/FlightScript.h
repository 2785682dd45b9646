#pragma once

// One scripted, repeating flight: every field of the flight data record as a function of time,
// moving plausibly (warning lamps in turn, fuel falling, attitude, speed brake, load factor,
// countermeasures counting down, channels, and five-line DED and PFL screens).

#include <QByteArray>
#include <QVariantMap>

namespace glimrow::sim {

class FlightScript {
public:
    static constexpr double kPeriodSeconds = 120.0;

    // The record at `seconds` into the flight, keyed by field name, with the D-Bus types
    // (int for light-bit words, counts and channels, double, bool, string). The flight repeats.
    static QVariantMap recordAt(double seconds);

    // The stream frame for a record: "@", fields 1 to 80 each ended by "@", then "1" when the
    // server is active and "0" when not.
    static QByteArray frameFor(const QVariantMap& record);
};

} // namespace glimrow::sim
