#include "data/FlightDataObject.h"

#include "support/MemoryFlightData.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace glimrow;

TEST(FlightDataObject, TypedReadsRefuseValuesOfTheWrongType)
{
    test::MemoryFlightData object;
    object.values[FlightDataField::RPM] = 87.5;
    object.values[FlightDataField::ChaffCount] = 30;
    object.values[FlightDataField::DEDLines] = QStringLiteral("COM1");
    object.values[FlightDataField::VantorAy] = true;
    object.values[FlightDataField::KIAS] = QStringLiteral("250");
    object.values[FlightDataField::PFLLines] = 12;

    EXPECT_EQ(object.readNumber(FlightDataField::RPM), 87.5);
    EXPECT_EQ(object.readNumber(FlightDataField::ChaffCount), 30);
    EXPECT_EQ(object.readText(FlightDataField::DEDLines), "COM1");
    EXPECT_TRUE(object.readBoolean(FlightDataField::VantorAy));
    EXPECT_TRUE(object.readBoolean(FlightDataField::ChaffCount));

    EXPECT_THROW(object.readNumber(FlightDataField::KIAS), FlightDataError);
    EXPECT_THROW(object.readText(FlightDataField::PFLLines), FlightDataError);
    EXPECT_THROW(object.readBoolean(FlightDataField::DEDLines), FlightDataError);
    EXPECT_THROW(object.readNumber(FlightDataField::GS), FlightDataError);
}
