#include "support/MemoryFlightData.h"
#include "support/QtPrinters.h"

#include "data/UpdateCycle.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace glimrow;

namespace {

class Cycle : public ::testing::Test {
protected:
    Cycle()
    {
        m_data.values = {{FlightDataField::LightBits, 5},
                         {FlightDataField::LightBits2, 6.5},
                         {FlightDataField::LightBits3, 7},
                         {FlightDataField::SpeedBrake, 0.5}};
        m_data.calls = &m_calls;
        const auto step = [this](const char* name) {
            return UpdateCycle::Step{name, [this, name] { m_calls << name; }};
        };
        m_cycle.setDcomSteps({step("BuildTextLEDStrings"), step("ComputeGauges")});
        m_cycle.setOutputSteps({step("SendLamps"), step("SendTextLED"), step("DriveGSuit")});
    }

    QStringList m_calls;
    test::MemoryFlightData m_data;
    FlightDataCache m_cache;
    UpdateCycle m_cycle{m_data, m_cache, [this] { m_calls << "events"; }};
};

} // namespace

TEST_F(Cycle, DcomModeFillsOnceBeforeAnyReadThenServesEveryStepInOrder)
{
    m_cycle.run();
    EXPECT_EQ(m_calls,
              QStringList({"FillFlightData", "read LightBits", "read LightBits2", "read LightBits3",
                           "read SpeedBrake", "BuildTextLEDStrings", "ComputeGauges", "events",
                           "SendLamps", "SendTextLED", "DriveGSuit"}));
    EXPECT_EQ(m_cache.LightBits, 5);
    EXPECT_EQ(m_cache.LightBits2, 6); // halves to even
    EXPECT_EQ(m_cache.LightBits3, 7);
    EXPECT_EQ(m_cache.SpeedBrake, 0.5f);
}

TEST_F(Cycle, AFailedFillEndsTheCycleAndFailingStepsAreSkipped)
{
    // Without the fill there is no data for any step: the server is not active.
    m_data.failFill = true;
    m_cycle.run();
    EXPECT_EQ(m_calls, QStringList("FillFlightData"));
    EXPECT_EQ(m_data.silences, 1);

    // A field the object cannot give keeps its value; the other fields and steps still run.
    m_data.failFill = false;
    m_data.values.remove(FlightDataField::LightBits2);
    m_data.values[FlightDataField::LightBits] = 4294967296.0; // does not fit 32 bits
    m_data.values[FlightDataField::LightBits3] = 9;
    m_data.values[FlightDataField::SpeedBrake] = 0.25;
    m_cache.LightBits = 1;
    m_cache.LightBits2 = 2;
    m_cycle.run();
    EXPECT_EQ(m_cache.LightBits, 1);
    EXPECT_EQ(m_cache.LightBits2, 2);
    EXPECT_EQ(m_cache.LightBits3, 9);
    EXPECT_EQ(m_cache.SpeedBrake, 0.25f);
    EXPECT_TRUE(m_calls.contains("SendLamps"));
}

TEST_F(Cycle, ATickDuringACyclesPauseIsDropped)
{
    int cycles = 0;
    UpdateCycle* self = nullptr;
    UpdateCycle nested(m_data, m_cache, [&] { self->run(); }); // a tick inside the pause
    self = &nested;
    nested.setOutputSteps({{"count", [&] { ++cycles; }}});
    nested.run();
    EXPECT_EQ(cycles, 1);
    EXPECT_FALSE(nested.isRunning());
}
