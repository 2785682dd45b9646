#pragma once

// The gauge table's values (airspeed, altitude, attitude, vertical velocity, angle of attack,
// engine values, speed brake, EPU fuel), computed in gauge units and shown in grid 7, and the
// G-suit: the load factor on the G-suit panel and on the first servo board's motors 0 and 1.

#include "common/OutputGrid.h"
#include "common/OutputLabel.h"
#include "common/SectionTable.h"

#include "data/ConnectionManager.h"
#include "phidget/GSuitFormula.h"
#include "phidget/OutputOptions.h"
#include "phidget/PhidgetDeviceManager.h"
#include <QStringList>

#include <array>

namespace glimrow {

// The G-suit panel's labels: the load factor and what goes to servo motors 0 and 1.
struct GSuitPanel {
    OutputLabel& gForce;
    OutputLabel& servoOutput1;
    OutputLabel& servoOutput2;
};

class GaugeOutputs {
public:
    GaugeOutputs(FlightDataSource& data, OutputOptions& options, OutputGrid& gaugeGrid,
                 GSuitPanel panel, const PhidgetDeviceManager& devices, BoardSlot servo);

    // Rewrites the value of every line whose keyword it knows; throws FlightDataError when
    // the flight data cannot be read.
    void ComputeGauges(SectionTable& table);
    // The keywords ComputeGauges knows.
    static const QStringList& gaugeKeywords();
    void ShowGauges(const SectionTable& table);
    // The motors follow the load factor read from the data, whether or not the panel is being
    // refreshed: through their formula when they have one, kept within the motor's range. A
    // position that is not a finite number leaves its motor where it is.
    void DriveGSuit();
    // Motor 0 or 1; nothing: the load factor itself, as it is.
    void setGSuitFormula(int motor, std::optional<GSuitFormula> formula);

private:
    FlightDataObject& object();
    std::optional<double> gaugeValue(const QString& keyword);
    void driveMotor(int motor, double loadFactor, PhidgetServo* servo);

    FlightDataSource& m_data;
    OutputOptions& m_options;
    OutputGrid& m_gaugeGrid;
    GSuitPanel m_panel;
    std::array<std::optional<GSuitFormula>, 2> m_formulas;
    const PhidgetDeviceManager& m_devices;
    BoardSlot m_servo;
};

} // namespace glimrow
