// The EPIC dispatch with the real Pigrelay on the virtual EPIC card, an in-memory data server
// object and an in-memory window.

#include "common/MemoryGrid.h"
#include "support/MemoryFlightData.h"
#include "support/QtPrinters.h"
#include "support/RecordingMessages.h"
#include "support/SectionTables.h"
#include "support/VirtualEpicCard.h"

#include "EPICIOVirtualCard.h"
#include "epic/EpicDispatch.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <array>

using namespace glimrow;
using namespace glimrow::test;

namespace {

// Forwards to the real library and writes down every call with its argument.
class RecordingPigrelay : public PigrelayApi {
public:
    QStringList calls;
    const char* missing = nullptr; // a function that "is not in the library"

    int call(const char* function) override
    {
        calls << function;
        failIfMissing(function);
        return m_library.call(function);
    }
    int call(const char* function, int argument) override
    {
        calls << QStringLiteral("%1(%2)").arg(function).arg(argument);
        failIfMissing(function);
        return m_library.call(function, argument);
    }

private:
    void failIfMissing(const char* function)
    {
        if (missing && qstrcmp(function, missing) == 0)
            throw PigrelayError(std::string("The Pigrelay library has no function ") + function +
                                ".");
    }
    PigrelayLibrary m_library;
};

class Window : public OutputWindow, public DeviceManagerView {
public:
    MemoryGrid epicGrid{40, 4};
    bool screen = true;
    OutputGrid& grid(int) override { return epicGrid; }
    QString labelText(int) const override { return {}; }
    void setLabelText(int, const QString&) override {}
    bool screenUpdate() const override { return screen; }
    int lampBrightness() const override { return 75; }
    void letEventsRun() override {}
    void enableFrame(int) override {}
    void beep() override {}
};

std::array<int, 4> pigeonhole(int number)
{
    return pigeonholeBytes(number);
}

class Epic : public ::testing::Test {
protected:
    void SetUp() override
    {
        EpicioVirtual_SetPresent(1);
        EpicioVirtual_Reset();
    }
    void TearDown() override
    {
        m_epic.CloseEpicCard();
        EpicioVirtual_SetPresent(0);
    }
    void open()
    {
        m_epic.OpenEpicCard();
        ASSERT_TRUE(m_epic.mbEpicOpen());
        m_pigrelay.calls.clear();
    }

    RecordingPigrelay m_pigrelay;
    Window m_window;
    MemoryFlightData m_data;
    MemoryGrid m_deviceList{1, 4};
    PhidgetDeviceManager m_devices{m_deviceList, m_window};
    RecordingMessages m_messages;
    EpicDispatch m_epic{m_pigrelay, m_window, m_data, m_devices, m_messages};
};

} // namespace

TEST_F(Epic, EachKeywordShowsItsValueAndReachesItsPigeonhole)
{
    open();
    using F = FlightDataField;
    m_data.set(F::RPM, 87.5);
    m_data.set(F::LightBits, 0);
    m_data.set(F::Pitch, 0.1);
    m_data.set(F::InternalFuel, 3000.4);
    m_data.set(F::ExternalFuel, 2000.2);
    SectionTable table = tableOf({{"7", "Engine", "rpm", ""},
                                  {"1", "Lamps", "LIGHTBITS", "file"},
                                  {"14", "Pitch", "PITCH", ""},
                                  {"12", "Fuel total", "TOTAL", ""},
                                  {"24", "Nozzle 2", "NOZZLE2", "kept"},
                                  {"8", "Blank", " RPM", "kept too"}});
    m_epic.SendEpicValues(table);
    EXPECT_EQ(table.field(3, 0), "88");
    EXPECT_EQ(table.field(3, 1), "InActive");
    EXPECT_EQ(table.field(3, 2), "-5.7296");
    EXPECT_EQ(table.field(3, 3), "5001");
    EXPECT_EQ(table.field(3, 4), "kept");
    EXPECT_EQ(m_window.epicGrid.text(6, 3), "kept too");
    EXPECT_EQ(m_window.epicGrid.text(1, 3), "88");
    EXPECT_EQ(m_pigrelay.calls,
              QStringList({"RPMPHCallRet(7)", "RPMCallRet(88)", "SendRPMPH", "LBPHCallRet(1)",
                           "SendLBPH(0)", "PITCHCallRet(6)", "PITCHPHCallRet(14)", "SendPITCHPH",
                           "TOTALCallRet(5001)", "TOTALPHCallRet(12)", "SendTOTALPH"}));
    EXPECT_EQ(pigeonhole(7), (std::array<int, 4>{88, 0, 0, 0}));
    EXPECT_EQ(pigeonhole(1), (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_EQ(pigeonhole(14), (std::array<int, 4>{88, 0, 0, 0})); // 6 x 100 = 600, low byte 88
    EXPECT_EQ(pigeonhole(12), (std::array<int, 4>{50, 0, 0, 0})); // whole hundreds

    m_data.set(F::RPM, 86.5);
    m_epic.SendEpicValues(table);
    EXPECT_EQ(table.field(3, 0), "86");
    EXPECT_EQ(pigeonhole(7), (std::array<int, 4>{86, 0, 0, 0}));
}

TEST_F(Epic, DerivedFuelSendsGoOnlyWhereALineAskedForThem)
{
    open();
    m_data.set(FlightDataField::InternalFuel, 5350.0);
    m_data.set(FlightDataField::ExternalFuel, 7000.0);
    SectionTable table = tableOf({{"18", "Wing", "INTWINGFUEL", ""},
                                  {"16", "Internal", "INTERNALFUEL", ""},
                                  {"12", "Total", "TOTAL", ""}});
    m_epic.SendEpicValues(table);
    EXPECT_EQ(table.field(3, 0), "1100");
    EXPECT_EQ(pigeonhole(18), (std::array<int, 4>{5, 0, 0, 0})); // the wing step of 53
    EXPECT_EQ(pigeonhole(12), (std::array<int, 4>{123, 0, 0, 0}));
    EXPECT_EQ(pigeonhole(0)[0], -1); // no reserve line: nothing derived lands on pigeonhole 0
    EXPECT_FALSE(m_pigrelay.calls.contains("SendFUELRESPH"));
}

TEST_F(Epic, ClosedCardUnreadableLinesAndScreenUpdates)
{
    m_data.set(FlightDataField::KIAS, 250.4);
    m_data.set(FlightDataField::GS, 1.256);
    SectionTable table = tableOf({{"abc", "Airspeed", "KIAS", ""}, {"22", "G", "GS", ""}});

    // Card closed, option checked: the grid follows the data, Pigrelay is never called.
    m_epic.SendEpicValues(table);
    EXPECT_EQ(m_window.epicGrid.text(1, 3), "250");
    EXPECT_EQ(m_window.epicGrid.text(2, 3), "1.26");
    EXPECT_TRUE(m_pigrelay.calls.isEmpty());

    // Card open: the line without a pigeonhole is skipped, the next one is served.
    open();
    m_data.set(FlightDataField::GS, 3.0);
    m_epic.SendEpicValues(table);
    EXPECT_EQ(m_pigrelay.calls, QStringList({"GSCallRet(3)", "GSPHCallRet(22)", "SendGSPH"}));

    // Screen updates off: the values reach the card, the grid keeps what it showed.
    m_window.screen = false;
    m_data.set(FlightDataField::GS, 4.0);
    m_epic.SendEpicValues(table);
    EXPECT_EQ(m_window.epicGrid.text(2, 3), "3");
    EXPECT_EQ(pigeonhole(22), (std::array<int, 4>{4, 0, 0, 0}));

    // No data server object: the pass ends at the first line that reads one.
    m_data.present = false;
    EXPECT_THROW(m_epic.SendEpicValues(table), FlightDataError);
}

TEST_F(Epic, OpeningWithoutACardOrWithoutPigrelaySaysSo)
{
    EpicioVirtual_SetPresent(0);
    m_epic.OpenEpicCard();
    EXPECT_FALSE(m_epic.mbEpicOpen());
    EXPECT_EQ(m_messages.texts, QStringList({"Epic Not Detected"}));
    ASSERT_EQ(m_deviceList.rowCount(), 2);
    EXPECT_EQ(m_deviceList.text(1, 1), "EPIC USB");
    m_epic.CloseEpicCard();
    EXPECT_FALSE(m_epic.mbEpicOpen());

    EpicioVirtual_SetPresent(1);
    m_epic.OpenEpicCard();
    EXPECT_TRUE(m_epic.mbEpicOpen());
    EXPECT_EQ(m_deviceList.rowCount(), 2); // the same row, marked again

    // A function missing from the library: said once, and the card is no longer used.
    m_pigrelay.missing = "SendKIASPH";
    m_data.set(FlightDataField::KIAS, 250.0);
    SectionTable table = tableOf({{"21", "Airspeed", "KIAS", ""}});
    m_epic.SendEpicValues(table);
    m_epic.SendEpicValues(table);
    EXPECT_FALSE(m_epic.mbEpicOpen());
    EXPECT_EQ(m_messages.texts.last(), "The Pigrelay library has no function SendKIASPH.");
    EXPECT_EQ(m_messages.texts.size(), 2);

    m_pigrelay.missing = "OpenEpic";
    m_epic.OpenEpicCard();
    EXPECT_FALSE(m_epic.mbEpicOpen());
    EXPECT_EQ(m_messages.texts.last(), "The Pigrelay library has no function OpenEpic.");
}

// (EPICIO missing makes the same load fail, with the loader's reason naming libEPICIO.so.)
TEST(PigrelayLibrary, AMissingLibraryIsNamed)
{
    PigrelayLibrary absent(QStringLiteral("/nonexistent/libPigrelay.so"));
    try {
        absent.call("OpenEpic");
        FAIL() << "a missing library must not be called";
    } catch (const PigrelayError& error) {
        EXPECT_NE(std::string(error.what()).find("could not be loaded"), std::string::npos);
    }
}
