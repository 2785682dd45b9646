#include "support/CockpitFixture.h"
#include "support/PrivateBus.h"
#include "support/QtPrinters.h"

#include "phidget/virtual/VirtualHardwareService.h"

#include <gtest/gtest.h>

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QSignalSpy>

using namespace glimrow;
using glimrow::test::PrivateBus;

namespace {

// Calls a method of org.glimrow.VirtualHardware and waits for the answer while this thread
// (which also serves the object) keeps running its event loop.
template <typename... Result>
QDBusPendingReply<Result...> callService(const QDBusConnection& script, const QString& method,
                                         const QVariantList& arguments = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(VirtualHardwareService::kService,
                                                       VirtualHardwareService::kPath,
                                                       VirtualHardwareService::kService, method);
    call.setArguments(arguments);
    QDBusPendingCallWatcher watcher(script.asyncCall(call));
    QSignalSpy finished(&watcher, &QDBusPendingCallWatcher::finished);
    EXPECT_TRUE(finished.wait(5000)) << method.toStdString();
    return watcher;
}

} // namespace

using VirtualHardwareServiceTest = glimrow::test::CockpitFixture;

TEST_F(VirtualHardwareServiceTest, ScriptsPlugBoardsAndReadWhatWasWritten)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty());
    VirtualHardwareService service(m_hardware);
    ASSERT_TRUE(service.registerOn(bus.connect("program")));
    start(withRequiredSections({}));
    const MemoryGrid& list = grid(CockpitGrid::Devices);
    PhidgetDeviceManager& devices = m_cockpit->devices();

    const QDBusConnection script = bus.connect("script");
    auto boards = callService<QList<VirtualBoardInfo>>(script, "Boards");
    ASSERT_FALSE(boards.isError()) << boards.error().message().toStdString();
    ASSERT_EQ(boards.value().size(), 9);
    EXPECT_EQ(boards.value()[4].type, "PhidgetTextLCD");
    EXPECT_EQ(boards.value()[4].serial, 30001);
    EXPECT_TRUE(boards.value()[4].attached);

    ASSERT_EQ(list.rowCount(), 10);
    const int lcdRow = 5;
    EXPECT_FALSE(callService<bool>(script, "Detach", {30001}).isError());
    EXPECT_EQ(list.colour(lcdRow, 1), CellColour::Red);
    EXPECT_FALSE(callService<bool>(script, "Attach", {30001}).isError());
    EXPECT_EQ(list.colour(lcdRow, 1), CellColour::Green);

    devices.pRavazTextLCD(1)->setDisplayString(1, "A LINE LONGER THAN TWENTY");
    auto rows = callService<QStringList>(script, "Rows", {30001});
    EXPECT_EQ(rows.value(), QStringList({"", "A LINE LONGER THAN T"}));
    EXPECT_TRUE(callService<bool>(script, "Backlight", {30001}).value());
    devices.pRavazLED(2)->setDiscreteLED(63, 90);
    EXPECT_EQ(callService<QList<int>>(script, "Leds", {10002}).value().at(63), 90);
    EXPECT_EQ(callService<QList<bool>>(script, "Outputs", {20001}).value().size(), 16);
    EXPECT_EQ(callService<QList<double>>(script, "MotorPositions", {50001}).value().size(), 4);
    EXPECT_EQ(callService<int>(script, "Brightness", {40001}).value(), 75);
    EXPECT_FALSE(callService<bool>(script, "Attach", {12345}).value());
}
