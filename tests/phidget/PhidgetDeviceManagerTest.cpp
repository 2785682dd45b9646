#include "OutputsFixture.h"
#include "support/QtPrinters.h"

using namespace glimrow;

namespace {

// Virtual boards feeding a device manager through the manager's events.
class Devices : public test::Outputs {
protected:
    Devices() { m_window.brightness = 80; }

    void plugIn(const QString& type, int serial)
    {
        m_hardware.addDevice(type, serial);
        m_hardware.open(m_manager);
        QCoreApplication::processEvents();
    }
    void settle() { QCoreApplication::processEvents(); }

    int rowOf(int serial) const
    {
        for (int row = 1; row < m_deviceList.rowCount(); ++row) {
            if (m_deviceList.text(row, 3) == QString::number(serial))
                return row;
        }
        return -1;
    }
    CellColour colourOf(int serial) const { return m_deviceList.colour(rowOf(serial), 1); }
};

} // namespace

TEST_F(Devices, EachKindTakesItsSlotWithItsStartingSettings)
{
    m_hardware.addDefaultBoards();
    m_hardware.addDevice("PhidgetWeatherStation", 90001);
    m_hardware.open(m_manager);
    settle();

    ASSERT_TRUE(m_devices.pRavazLED(1));
    EXPECT_EQ(m_devices.pRavazLED(1)->SerialNumber(), 10001);
    EXPECT_EQ(m_devices.pRavazLED(2)->SerialNumber(), 10002);
    EXPECT_EQ(m_devices.pRavaz01616(2)->SerialNumber(), 20002);
    EXPECT_EQ(m_devices.pRavazTextLCD(1)->SerialNumber(), 30001);
    EXPECT_EQ(m_devices.pRavazTextLED(2)->SerialNumber(), 40002);
    EXPECT_EQ(m_devices.pRavazServo(1)->SerialNumber(), 50001);
    EXPECT_FALSE(m_devices.pRavazServo(2));
    EXPECT_TRUE(m_devices.servoPresent());

    const VirtualDevice& kit = *m_hardware.device(20001);
    EXPECT_EQ(kit.outputs, std::vector<bool>(16, false));
    EXPECT_EQ(kit.writes, 16);
    const VirtualDevice& lcd = *m_hardware.device(30001);
    EXPECT_EQ(lcd.brightness, 80);
    EXPECT_TRUE(lcd.backlight);
    EXPECT_FALSE(lcd.cursorOn);
    EXPECT_EQ(lcd.rows, QStringList({"", ""}));
    EXPECT_EQ(m_hardware.device(40001)->brightness, 80);
    EXPECT_EQ(m_hardware.device(10001)->writes, 0); // nothing is sent to an LED board
    EXPECT_EQ(m_hardware.device(50001)->writes, 1); // motor 1, the counter's index

    EXPECT_EQ(m_window.enabled.size(), 5u);

    // The list: counter, type, version, serial, in order of attachment; unknown types get 0.
    ASSERT_EQ(m_deviceList.rowCount(), 11);
    EXPECT_EQ(m_deviceList.text(2, 0), "2");
    EXPECT_EQ(m_deviceList.text(2, 1), "PhidgetLED");
    EXPECT_EQ(m_deviceList.text(5, 2), "1.03");
    EXPECT_EQ(m_deviceList.text(10, 0), "0");
    EXPECT_EQ(m_deviceList.text(10, 1), "PhidgetWeatherStation");
    EXPECT_EQ(colourOf(90001), CellColour::Green);
}

TEST_F(Devices, UnpluggedBoardsTurnRedAndComeBackToTheirOwnSlot)
{
    m_hardware.addDevice(phidget_type::LED, 10001);
    m_hardware.addDevice(phidget_type::LED, 10002);
    m_hardware.open(m_manager);
    settle();

    m_hardware.detach(10001);
    settle();
    EXPECT_EQ(colourOf(10001), CellColour::Red);
    EXPECT_EQ(m_window.beeps, 1);
    EXPECT_FALSE(m_devices.pRavazLED(1)); // empty for the outputs while unplugged
    EXPECT_TRUE(m_devices.pRavazLED(2));

    m_hardware.attach(10001);
    settle();
    EXPECT_EQ(colourOf(10001), CellColour::Green);
    EXPECT_EQ(m_deviceList.rowCount(), 3); // no new row
    ASSERT_TRUE(m_devices.pRavazLED(1));
    EXPECT_EQ(m_devices.pRavazLED(1)->SerialNumber(), 10001);
    EXPECT_EQ(m_devices.pRavazLED(2)->SerialNumber(), 10002);
    EXPECT_EQ(m_devices.attachCount(PhidgetDeviceManager::Kind::LED), 3);

    // A third board takes the second slot, counter 4 now.
    plugIn(phidget_type::LED, 10003);
    EXPECT_EQ(m_devices.pRavazLED(2)->SerialNumber(), 10003);
    EXPECT_EQ(m_deviceList.text(rowOf(10003), 0), "4");
}

TEST_F(Devices, ErrorsTurnTheRowYellowAndUnknownBoardsChangeNothing)
{
    plugIn(phidget_type::TextLED, 40001);
    m_hardware.setFailing(40001, true); // the board no longer even tells its serial number
    settle();
    EXPECT_EQ(colourOf(40001), CellColour::Yellow);
    EXPECT_EQ(m_window.beeps, 1);
    EXPECT_THROW(m_devices.pRavazTextLED(1)->setBrightness(50), PhidgetError);

    // A board that was never listed: no beep, no colour.
    VirtualHardware other;
    other.addDevice(phidget_type::Servo, 777);
    PhidgetManager otherManager;
    PhidgetBoardPtr stranger;
    QObject::connect(&otherManager, &PhidgetManager::OnAttach,
                     [&](const PhidgetBoardPtr& board) { stranger = board; });
    other.open(otherManager);
    settle();
    ASSERT_TRUE(stranger);
    m_devices.PhidgetManager_OnDetach(stranger);
    EXPECT_EQ(m_window.beeps, 1);
    EXPECT_EQ(m_deviceList.rowCount(), 2);
}

TEST_F(Devices, ShutdownReleasesTheSlots)
{
    m_hardware.addDefaultBoards();
    m_hardware.open(m_manager);
    settle();
    m_devices.ReleaseSlots();
    EXPECT_FALSE(m_devices.pRavazLED(1));
    EXPECT_FALSE(m_devices.pRavaz01616(2));
    EXPECT_FALSE(m_devices.pRavazServo(1));
}
