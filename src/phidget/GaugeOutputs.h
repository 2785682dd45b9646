#pragma once

// The gauge table's values (airspeed, altitude, attitude, vertical velocity, angle of attack,
// engine values, speed brake, EPU fuel), computed in gauge units and shown in grid 7, and the
// G-suit: the load factor on the G-suit panel and on the first servo board's motors 0 and 1.

#include "common/SectionTable.h"
#include "data/ConnectionManager.h"
#include "phidget/OutputWindow.h"
#include "phidget/PhidgetDeviceManager.h"

namespace glimrow {

class GaugeOutputs {
public:
    static constexpr int kGaugeGrid = 7;
    static constexpr int kGForceLabel = 15;
    static constexpr int kServoOutputLabels[2] = {24, 25};

    GaugeOutputs(OutputWindow& window, FlightDataSource& data, const PhidgetDeviceManager& devices);

    // Rewrites the value of every line whose keyword it knows; throws FlightDataError when
    // the flight data cannot be read.
    void ComputeGauges(SectionTable& table);
    void ShowGauges(const SectionTable& table);
    // The motors follow the load factor read from the data, whether or not the panel is being
    // refreshed.
    void DriveGSuit();

private:
    FlightDataObject& object();
    std::optional<double> gaugeValue(const QString& keyword);

    OutputWindow& m_window;
    FlightDataSource& m_data;
    const PhidgetDeviceManager& m_devices;
};

} // namespace glimrow
