#include "support/QtPrinters.h"

#include "data/UpdateCycle.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace glimrow;

namespace {

// Records every call made on it, in order.
class RecordingObject : public FlightDataObject {
public:
    explicit RecordingObject(QStringList& calls) : m_calls(calls) {}
    QHash<FlightDataField, QVariant> values;
    bool failFill = false;

    void FillFlightData() override
    {
        m_calls << "FillFlightData";
        if (failFill)
            throw FlightDataError("server gone");
    }
    void Close() override { m_calls << "Close"; }
    QVariant property(FlightDataField field) override
    {
        m_calls << QString("read %1").arg(fieldInfo(field).name);
        if (!values.contains(field))
            throw FlightDataError("missing");
        return values.value(field);
    }

private:
    QStringList& m_calls;
};

class FakeSource : public FlightDataSource {
public:
    bool dcom = true;
    FlightDataObject* object = nullptr;
    bool isDcomSelected() const override { return dcom; }
    FlightDataObject* flightDataObject() const override { return object; }
};

class Cycle : public ::testing::Test {
protected:
    Cycle()
    {
        m_object.values = {{FlightDataField::LightBits, 5},
                           {FlightDataField::LightBits2, 6.5},
                           {FlightDataField::LightBits3, 7},
                           {FlightDataField::SpeedBrake, 0.5}};
        m_source.object = &m_object;
        const auto step = [this](const char* name) {
            return UpdateCycle::Step{name, [this, name] { m_calls << name; }};
        };
        m_cycle.setDcomSteps({step("BuildTextLEDStrings"), step("ComputeGauges")});
        m_cycle.setOutputSteps({step("SendLamps"), step("SendTextLED"), step("DriveGSuit")});
    }

    QStringList m_calls;
    RecordingObject m_object{m_calls};
    FakeSource m_source;
    FlightDataCache m_cache;
    UpdateCycle m_cycle{m_source, m_cache, [this] { m_calls << "events"; }};
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

TEST_F(Cycle, FailingStepsAreSkippedAndTheRestStillRun)
{
    // A failed fill skips only itself; a failed read ends the cache copy.
    m_object.failFill = true;
    m_object.values.remove(FlightDataField::LightBits2);
    m_object.values[FlightDataField::LightBits] = 4294967296.0; // does not fit 32 bits
    m_cache.LightBits = 1;
    m_cycle.run();
    EXPECT_EQ(m_cache.LightBits, 1);
    EXPECT_TRUE(m_calls.contains("SendLamps"));
    EXPECT_FALSE(m_calls.contains("read LightBits2"));
}

TEST_F(Cycle, ATickDuringACyclesPauseIsDropped)
{
    int cycles = 0;
    UpdateCycle* self = nullptr;
    UpdateCycle nested(m_source, m_cache, [&] { self->run(); }); // a tick inside the pause
    self = &nested;
    nested.setOutputSteps({{"count", [&] { ++cycles; }}});
    nested.run();
    EXPECT_EQ(cycles, 1);
    EXPECT_FALSE(nested.isRunning());
}
