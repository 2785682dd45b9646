// The device manager in the cockpit: virtual boards plugged in and out, the slots the outputs
// find them in, and the device list.

#include "support/CockpitFixture.h"
#include "support/QtPrinters.h"

using namespace glimrow;
using namespace glimrow::test;

namespace {

class Devices : public CockpitFixture {
protected:
    void startWithBoards() { start(withRequiredSections({})); }
    void settle() { QCoreApplication::processEvents(); }
    const MemoryGrid& list() { return grid(CockpitGrid::Devices); }
};

} // namespace

TEST_F(Devices, EachKindTakesItsSlotAndIsListed)
{
    m_hardware.addDevice("PhidgetWeatherStation", 90001);
    startWithBoards();
    ASSERT_TRUE(devices().pRavazLED(1));
    EXPECT_EQ(devices().pRavazLED(1)->SerialNumber(), 10001);
    EXPECT_EQ(devices().pRavazLED(2)->SerialNumber(), 10002);
    EXPECT_EQ(devices().pRavaz01616(2)->SerialNumber(), 20002);
    EXPECT_EQ(devices().pRavazTextLCD(1)->SerialNumber(), 30001);
    EXPECT_EQ(devices().pRavazTextLED(2)->SerialNumber(), 40002);
    EXPECT_EQ(devices().pRavazServo(1)->SerialNumber(), 50001);
    EXPECT_FALSE(devices().pRavazServo(2));
    // The starting settings, board by board, are checked as calls in the library tests.
    EXPECT_EQ(board(10001).writes, 0); // nothing is sent to an LED board
    EXPECT_EQ(m_view.enabled.size(), 5u);

    // The list: counter, type, version, serial, in order of attachment; unknown types get 0.
    ASSERT_EQ(list().rowCount(), 11);
    EXPECT_EQ(list().text(2, 0), "2");
    EXPECT_EQ(list().text(5, 2), "1.03");
    EXPECT_EQ(list().text(10, 0), "0");
    EXPECT_EQ(list().text(10, 1), "PhidgetWeatherStation");
    // What each board drives.
    const std::pair<int, const char*> sections[] = {{10001, "PLED64-1"}, {20002, "P01616-2"},
                                                    {30001, "PTLCD-1"},  {40002, "PTLED-2"},
                                                    {50001, "G-suit"},   {90001, "none"}};
    for (const auto& [serial, section] : sections)
        EXPECT_EQ(list().text(deviceRow(serial), 4), section) << serial;
    EXPECT_EQ(deviceColour(90001), CellColour::Green);
}

TEST_F(Devices, UnpluggedBoardsTurnRedAndComeBackToTheirOwnSlot)
{
    startWithBoards();
    const int rows = list().rowCount();
    m_hardware.detach(10001);
    settle();
    EXPECT_EQ(deviceColour(10001), CellColour::Red);
    EXPECT_EQ(m_view.beeps, 1);
    EXPECT_FALSE(devices().pRavazLED(1)); // empty for the outputs while unplugged
    EXPECT_TRUE(devices().pRavazLED(2));

    m_hardware.attach(10001);
    settle();
    EXPECT_EQ(deviceColour(10001), CellColour::Green);
    EXPECT_EQ(list().rowCount(), rows); // no new row
    EXPECT_EQ(devices().pRavazLED(1)->SerialNumber(), 10001);
    EXPECT_EQ(devices().pRavazLED(2)->SerialNumber(), 10002);
    EXPECT_EQ(devices().attachCount(BoardKind::LED), 3);

    // A third board takes the second slot, counter 4 now.
    m_hardware.addDevice(phidget_type::LED, 10003);
    m_hardware.attach(10003);
    settle();
    EXPECT_EQ(devices().pRavazLED(2)->SerialNumber(), 10003);
    EXPECT_EQ(list().text(deviceRow(10003), 0), "4");
    EXPECT_EQ(list().text(deviceRow(10003), 4), "PLED64-2");
    EXPECT_EQ(list().text(deviceRow(10002), 4), "none"); // it drives nothing now
}

TEST_F(Devices, AnErrorTurnsTheRowYellowWithABeep)
{
    startWithBoards();
    m_hardware.setFailing(40001, true); // the board no longer even tells its serial number
    settle();
    EXPECT_EQ(deviceColour(40001), CellColour::Yellow);
    EXPECT_EQ(m_view.beeps, 1);
    EXPECT_THROW(devices().pRavazTextLED(1)->setBrightness(50), PhidgetError);
}
