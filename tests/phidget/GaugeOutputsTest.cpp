#include "OutputsFixture.h"
#include "support/QtPrinters.h"

#include "phidget/GaugeOutputs.h"

using namespace glimrow;
using namespace glimrow::test;

namespace {

class Gauges : public Outputs {
protected:
    QString gauge(const char* keyword, FlightDataField field, double value)
    {
        m_data.set(field, value);
        SectionTable table = tableOf({{"0", "", keyword, "file text"}});
        m_gauges.ComputeGauges(table);
        return table.field(3, 0);
    }

    MemoryLabel m_gForce, m_servo1, m_servo2;
    GaugeOutputs m_gauges{m_data,    m_window,
                          m_grid,    {m_gForce, m_servo1, m_servo2},
                          m_devices, BoardSlot(m_devices, BoardKind::Servo, 1)};
};

} // namespace

TEST_F(Gauges, ValuesAreRoundedThenNegatedThenLimited)
{
    using F = FlightDataField;
    EXPECT_EQ(gauge("ALT", F::ShipDown, 1500.4), "0");
    EXPECT_EQ(gauge("alt", F::ShipDown, -1500.4), "1500");
    EXPECT_EQ(gauge("ATTITUDE", F::Pitch, 0.1), "-5.73");
    EXPECT_EQ(gauge("VVI", F::ShipDownRate, -10000), "2000");
    EXPECT_EQ(gauge("VVI", F::ShipDownRate, 10000), "-2000");
    EXPECT_EQ(gauge("AOA", F::Alpha, 0.5), "-0.86");
    EXPECT_EQ(gauge("AOA", F::Alpha, -100), "60");
    EXPECT_EQ(gauge("KIAS", F::KIAS, 250.5), "250");
    EXPECT_EQ(gauge("RPM", F::RPM, 87.5), "88");
    EXPECT_EQ(gauge("FTIT", F::FTIT, 700.2), "700");
    EXPECT_EQ(gauge("NOZPOS", F::NozzlePos, 12.7), "13");
    EXPECT_EQ(gauge("OILPRES", F::OilPressure, 45.49), "45");
    EXPECT_EQ(gauge("SPEEDBRAKE", F::SpeedBrake, 0.125), "0.12");
    EXPECT_EQ(gauge("EPUFuel", F::EPUFuel, 99.5), "100");
    EXPECT_EQ(gauge("UNKNOWN", F::RPM, 1), "file text");

    SectionTable table = tableOf({{"0", "", "KIAS", "250"}, {"1", "", "RPM", "88"}});
    m_gauges.ShowGauges(table);
    EXPECT_EQ(m_grid.text(2, 3), "88");
}

TEST_F(Gauges, TheGSuitFollowsTheLoadFactor)
{
    m_data.set(FlightDataField::GS, 1.0);
    m_servo1.text = "kept";
    m_gauges.DriveGSuit(); // no servo board yet
    EXPECT_EQ(m_gForce.text, "1.000");
    EXPECT_EQ(m_servo1.text, "kept");

    attachDefaultBoards();
    m_data.set(FlightDataField::GS, 1.5);
    m_gauges.DriveGSuit();
    EXPECT_EQ(m_gForce.text, "1.500");
    EXPECT_EQ(m_servo1.text, "1.5");
    EXPECT_EQ(m_servo2.text, "1.5");
    EXPECT_EQ(board(50001).motors, (std::vector<double>{1.5, 1.5, 0, 0}));

    // With the screen not refreshed the motors still follow the data.
    m_window.screen = false;
    m_data.set(FlightDataField::GS, 4.0);
    m_gauges.DriveGSuit();
    EXPECT_EQ(board(50001).motors[0], 4.0);
    EXPECT_EQ(m_gForce.text, "1.500");
}
