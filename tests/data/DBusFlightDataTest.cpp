#include "support/PrivateBus.h"
#include "support/QtPrinters.h"

#include "data/DBusFlightData.h"

#include <gtest/gtest.h>

using namespace glimrow;
using glimrow::test::FlightDataServer;
using glimrow::test::PrivateBus;

TEST(DBusFlightData, FollowsTheServerAsItAppearsLeavesAndReturns)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon missing";
    DBusFlightData object(bus.connect(QStringLiteral("client")));
    // Made before any server runs: reads fail, nothing hangs.
    EXPECT_THROW(object.FillFlightData(), FlightDataError);
    EXPECT_THROW(object.readNumber(FlightDataField::RPM), FlightDataError);
    EXPECT_THROW(object.readBoolean(FlightDataField::VantorAy), FlightDataError);

    FlightDataServer server(bus);
    server.setRecord({{"RPM", 87.5},
                      {"LightBits", -1},
                      {"Flarecount", 12},
                      {"DEDLines", QString::fromLatin1("COM1\x01 \xa6")},
                      {"VantorAy", true}});
    object.FillFlightData();
    EXPECT_EQ(server.fillCount(), 1);
    EXPECT_EQ(object.readNumber(FlightDataField::RPM), 87.5);
    EXPECT_EQ(object.readNumber(FlightDataField::LightBits), -1);
    EXPECT_EQ(object.readNumber(FlightDataField::Flarecount), 12);
    EXPECT_EQ(object.readText(FlightDataField::DEDLines), QString::fromLatin1("COM1\x01 \xa6"));

    // Reads serve the last fill; VantorAy is live.
    server.setValue("RPM", 90.0);
    server.setValue("VantorAy", false);
    EXPECT_EQ(object.readNumber(FlightDataField::RPM), 87.5);
    EXPECT_FALSE(object.readBoolean(FlightDataField::VantorAy));
    object.FillFlightData();
    EXPECT_EQ(object.readNumber(FlightDataField::RPM), 90.0);
    EXPECT_EQ(server.fillCount(), 2);

    ASSERT_TRUE(server.setOnBus(false));
    EXPECT_THROW(object.FillFlightData(), FlightDataError);
    EXPECT_THROW(object.readNumber(FlightDataField::RPM), FlightDataError); // no stale values
    ASSERT_TRUE(server.setOnBus(true));
    object.FillFlightData();
    EXPECT_EQ(object.readNumber(FlightDataField::RPM), 90.0);
    EXPECT_NO_THROW(object.Close());
}
