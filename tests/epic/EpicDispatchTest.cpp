// The EPIC dispatch with the real Pigrelay on the virtual EPIC card, an in-memory data server
// object and in-memory grids.

#include "support/MemoryFlightData.h"
#include "support/QtPrinters.h"
#include "support/RecordingMessages.h"
#include "support/SectionTables.h"
#include "support/VirtualEpicCard.h"

#include "EPICIOVirtualCard.h"
#include "common/MemoryGrid.h"
#include "epic/EpicDispatch.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <array>

using namespace glimrow;
using namespace glimrow::test;

namespace {

class Options : public OutputOptions, public DeviceManagerView {
public:
    bool screen = true;
    bool screenUpdate() const override { return screen; }
    int lampBrightness() const override { return 75; }
    void letEventsRun() override {}
    void enableBoardControls(BoardKind) override {}
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
        m_epic.OpenEpicCard(nullptr);
        ASSERT_TRUE(m_epic.mbEpicOpen());
    }

    PigrelayLibrary m_pigrelay;
    Options m_options;
    MemoryGrid m_epicGrid{40, 4};
    MemoryFlightData m_data;
    MemoryGrid m_deviceList{1, 4};
    PhidgetDeviceManager m_devices{m_deviceList, m_options};
    RecordingMessages m_messages;
    EpicDispatch m_epic{m_pigrelay, m_epicGrid, m_data, m_devices, m_messages, m_options};
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
    EXPECT_EQ(m_epicGrid.text(6, 3), "kept too");
    EXPECT_EQ(m_epicGrid.text(1, 3), "88");
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
}

TEST_F(Epic, ClosedCardUnreadableLinesAndScreenUpdates)
{
    m_data.set(FlightDataField::KIAS, 250.4);
    m_data.set(FlightDataField::GS, 1.256);
    SectionTable table = tableOf({{"abc", "Airspeed", "KIAS", ""}, {"22", "G", "GS", ""}});

    // Card closed, option checked: the grid follows the data, nothing reaches the card.
    m_epic.SendEpicValues(table);
    EXPECT_EQ(m_epicGrid.text(1, 3), "250");
    EXPECT_EQ(m_epicGrid.text(2, 3), "1.26");
    EXPECT_EQ(EpicioVirtual_PigeonholeCount(), 0);

    // Card open: the line without a pigeonhole is skipped, the next one is served.
    open();
    m_data.set(FlightDataField::GS, 3.0);
    m_epic.SendEpicValues(table);
    EXPECT_EQ(pigeonhole(22), (std::array<int, 4>{3, 0, 0, 0}));
    EXPECT_EQ(EpicioVirtual_PigeonholeCount(), 1);

    // Screen updates off: the values reach the card, the grid keeps what it showed.
    m_options.screen = false;
    m_data.set(FlightDataField::GS, 4.0);
    m_epic.SendEpicValues(table);
    EXPECT_EQ(m_epicGrid.text(2, 3), "3");
    EXPECT_EQ(pigeonhole(22), (std::array<int, 4>{4, 0, 0, 0}));

    // No data server object: the pass ends at the first line that reads one.
    m_data.present = false;
    EXPECT_THROW(m_epic.SendEpicValues(table), FlightDataError);
}

TEST_F(Epic, OpeningWithoutACardOrWithoutPigrelaySaysSo)
{
    EpicioVirtual_SetPresent(0);
    m_epic.OpenEpicCard(nullptr);
    EXPECT_FALSE(m_epic.mbEpicOpen());
    EXPECT_EQ(m_messages.texts, QStringList({"Epic Not Detected"}));
    ASSERT_EQ(m_deviceList.rowCount(), 2);
    EXPECT_EQ(m_deviceList.text(1, 1), "EPIC USB");
    m_epic.CloseEpicCard();
    EXPECT_FALSE(m_epic.mbEpicOpen());

    EpicioVirtual_SetPresent(1);
    m_epic.OpenEpicCard(nullptr);
    EXPECT_TRUE(m_epic.mbEpicOpen());
    EXPECT_EQ(m_deviceList.rowCount(), 2); // the same row, marked again

    m_epic.CloseEpicCard();
}

TEST(PigrelayLibrary, AMissingLibraryOrMissingFunctionsAreNamedInOneMessage)
{
    const auto problem = [](const QString& file) {
        PigrelayLibrary library(file);
        try {
            library.functions();
        } catch (const PigrelayError& error) {
            return std::string(error.what());
        }
        return std::string("no error");
    };
    // (EPICIO missing makes the same load fail, with the loader's reason naming libEPICIO.so.)
    EXPECT_NE(problem("/nonexistent/libPigrelay.so").find("could not be loaded"),
              std::string::npos);
    // A library that is not Pigrelay lacks every function, all named at once.
    const std::string lacks = problem(QCoreApplication::applicationDirPath() + "/libEPICIO.so");
    EXPECT_NE(lacks.find("lacks OpenEpic, CloseEpic, RPMCallRet, RPMPHCallRet, SendRPMPH"),
              std::string::npos);
    EXPECT_NE(lacks.find("SendINTWINGPH."), std::string::npos);

    // The dispatch says so once per "Open Epic", and leaves the card closed.
    Options options;
    MemoryGrid grid{2, 4};
    MemoryFlightData data;
    PhidgetDeviceManager devices{grid, options};
    RecordingMessages messages;
    PigrelayLibrary notPigrelay(QCoreApplication::applicationDirPath() + "/libEPICIO.so");
    EpicDispatch epic{notPigrelay, grid, data, devices, messages, options};
    epic.OpenEpicCard(nullptr);
    EXPECT_FALSE(epic.mbEpicOpen());
    ASSERT_EQ(messages.texts.size(), 1);
    EXPECT_EQ(messages.texts[0].toStdString(), lacks);
}
