#include "support/PrivateBus.h"
#include "support/QtPrinters.h"

#include "data/DBusFlightData.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QXmlStreamReader>

using namespace glimrow;
using glimrow::test::FlightDataServer;
using glimrow::test::PrivateBus;

namespace {

class DBusObject : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_bus = new PrivateBus; }
    static void TearDownTestSuite()
    {
        delete s_bus;
        s_bus = nullptr;
    }
    void SetUp() override { ASSERT_FALSE(s_bus->address().isEmpty()) << "dbus-daemon missing"; }

    static QDBusConnection client() { return s_bus->connect(QStringLiteral("client")); }

    static PrivateBus* s_bus;
};

PrivateBus* DBusObject::s_bus = nullptr;

} // namespace

TEST_F(DBusObject, FollowsTheServerAsItAppearsLeavesAndReturns)
{
    DBusFlightData object(client());
    // Made before any server runs: reads fail, nothing hangs.
    EXPECT_THROW(object.FillFlightData(), FlightDataError);
    EXPECT_THROW(object.readNumber(FlightDataField::RPM), FlightDataError);
    EXPECT_THROW(object.readBoolean(FlightDataField::VantorAy), FlightDataError);

    FlightDataServer server(*s_bus);
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

TEST(FlightDataInterface, TheXmlDescribesEveryFieldWithItsType)
{
    QFile xml(GLIMROW_SOURCE_DIR "/src/data/Telvox.clsFlightData.xml");
    ASSERT_TRUE(xml.open(QIODevice::ReadOnly));
    QXmlStreamReader reader(&xml);
    QMap<QString, QString> properties;
    QStringList methods;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString name = reader.attributes().value("name").toString();
        if (reader.name() == u"property")
            properties[name] = reader.attributes().value("type").toString();
        else if (reader.name() == u"method")
            methods << name;
    }
    ASSERT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_EQ(methods, QStringList({"FillFlightData", "Close"}));

    const std::map<FlightDataType, QString> signature{{FlightDataType::Int32, "i"},
                                                      {FlightDataType::Double, "d"},
                                                      {FlightDataType::Boolean, "b"},
                                                      {FlightDataType::Text, "s"}};
    EXPECT_EQ(properties.size(), qsizetype(flightDataFields().size()));
    for (const FlightDataFieldInfo& field : flightDataFields())
        EXPECT_EQ(properties.value(field.name), signature.at(field.type)) << field.name;
}
