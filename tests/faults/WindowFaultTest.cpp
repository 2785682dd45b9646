// The window over the real parts: virtual boards, the data server's object on a private D-Bus
// daemon (typed, or answering anything), and a loopback stream. The lamp test and shutdown,
// then the faults.

#include "support/PrivateBus.h"
#include "support/QtPrinters.h"
#include "support/RecordingMessages.h"
#include "support/Waiting.h"

#include "app/frmGlimrow.h"
#include "common/MessageReporter.h"
#include "data/DBusFlightData.h"
#include "phidget/virtual/VirtualHardware.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace glimrow;
using glimrow::test::FlightDataServer;
using glimrow::test::PrivateBus;
using glimrow::test::waitFor;

namespace {

QByteArray frame(int lightBits)
{
    QByteArray block = "@";
    for (int field = 1; field <= 80; ++field)
        block += (field == 32 ? QByteArray::number(lightBits) : QByteArray("0")) + '@';
    return block + '1';
}

QVariantMap flightRecord()
{
    QVariantMap record;
    for (const FlightDataFieldInfo& field : flightDataFields()) {
        switch (field.type) {
        case FlightDataType::Int32:
            record[field.name] = 0;
            break;
        case FlightDataType::Double:
            record[field.name] = 0.0;
            break;
        case FlightDataType::Boolean:
            record[field.name] = true;
            break;
        case FlightDataType::Text:
            record[field.name] = QString();
            break;
        }
    }
    return record;
}

class WindowFaults : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_bus = new PrivateBus; }
    static void TearDownTestSuite()
    {
        delete s_bus;
        s_bus = nullptr;
    }

    frmGlimrow& start(const QByteArray& connection)
    {
        QFile example(GLIMROW_EXAMPLES_DIR "/Glimrow.cfg");
        EXPECT_TRUE(example.open(QIODevice::ReadOnly));
        QByteArray config = example.readAll();
        config.replace("[TCPIP-PORT]\r\n2727",
                       "[TCPIP-PORT]\r\n" + QByteArray::number(m_stream.serverPort()));
        config.replace("[COMPREF]\r\nDCOM", "[COMPREF]\r\n" + connection);
        QFile file(m_dir.filePath("Glimrow.cfg"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(config);
        file.close();

        m_hardware.addDefaultBoards();
        StartupSettings settings;
        settings.configFilePath = file.fileName();
        settings.instanceLockPath = m_dir.filePath("lock");
        settings.flightDataFactory = [] {
            return std::make_unique<DBusFlightData>(s_bus->connect(QStringLiteral("program")));
        };
        settings.openPhidgets = [this](PhidgetManager& manager) { m_hardware.open(manager); };
        m_window = std::make_unique<frmGlimrow>(m_messages, settings);
        EXPECT_TRUE(m_window->Form_Load());
        QCoreApplication::processEvents();
        return *m_window;
    }

    QString serverState() const { return m_window->ui().sbStatusBarPanel[1]->text(); }
    const VirtualDevice& board(int serial) const { return *m_hardware.device(serial); }

    static PrivateBus* s_bus;
    QTemporaryDir m_dir;
    QTcpServer m_stream;
    test::RecordingMessages m_messages;
    VirtualHardware m_hardware;
    std::unique_ptr<frmGlimrow> m_window;

    void SetUp() override { ASSERT_TRUE(m_stream.listen(QHostAddress::LocalHost)); }
};

PrivateBus* WindowFaults::s_bus = nullptr;

} // namespace

TEST_F(WindowFaults, AllLampsOnLightsEverythingAndItsReleaseDarkens)
{
    frmGlimrow& w = start("TCP");
    ASSERT_TRUE(w.devices().pRavazLED(2));
    QTest::mouseClick(w.ui().chkGlimrow[1], Qt::LeftButton);
    EXPECT_EQ(board(10002).leds, std::vector<int>(64, 75));
    EXPECT_EQ(board(20001).outputs, std::vector<bool>(16, true));
    EXPECT_EQ(board(40001).rows, QStringList({"1234", "1234", "1234", "1234"}));
    EXPECT_EQ(board(30001).rows[0], "TextLCD-1 1");

    // While the lamp test is on, data does not reach the lamps.
    w.cache().VantorAy = true;
    w.cache().LightBits = 0;
    w.tmrGlimrow_Timer();
    EXPECT_EQ(board(10001).leds[0], 75);

    QTest::mouseClick(w.ui().chkGlimrow[1], Qt::LeftButton);
    EXPECT_EQ(board(10001).leds, std::vector<int>(64, 0));
    EXPECT_EQ(board(30001).rows, QStringList({"", ""}));

    // The next tick repaints from the data: in TCP/IP mode the lamps follow the cache and
    // the text boards show the file's texts.
    w.cache().LightBits = 1 | 32;
    w.tmrGlimrow_Timer();
    EXPECT_EQ(board(10001).leds[0], 75);
    EXPECT_EQ(board(10001).leds[5], 75);
    EXPECT_EQ(board(10001).leds[1], 0);
    EXPECT_EQ(board(40001).rows[0], "     0");
    EXPECT_EQ(w.grdGlimrow(0).text(1, 2), "*");
    EXPECT_TRUE(m_messages.texts.isEmpty());
}

TEST_F(WindowFaults, ShutdownDarkensEveryBoardBacklightsIncluded)
{
    frmGlimrow& w = start("TCP");
    QTest::mouseClick(w.ui().chkGlimrow[1], Qt::LeftButton);
    ASSERT_TRUE(board(30002).backlight);
    w.ShutdownProgram();
    EXPECT_EQ(board(10001).leds, std::vector<int>(64, 0));
    EXPECT_EQ(board(20002).outputs, std::vector<bool>(16, false));
    EXPECT_FALSE(board(30001).backlight);
    EXPECT_FALSE(board(30002).backlight);
    EXPECT_EQ(board(40002).brightness, 0);
    EXPECT_FALSE(w.devices().pRavazLED(1)); // slots released
    EXPECT_TRUE(m_messages.texts.isEmpty());
}

TEST_F(WindowFaults, DataServerObjectLeavesAndReturns)
{
    FlightDataServer server(*s_bus);
    QVariantMap record = flightRecord();
    record["LightBits"] = 1;
    server.setRecord(record);
    frmGlimrow& w = start("DCOM");
    EXPECT_EQ(serverState(), "Vantor-A");
    EXPECT_FALSE(w.ui().fldGlimrow[0]->isEnabled());
    w.tmrGlimrow_Timer();
    EXPECT_EQ(board(10001).leds[0], 75);
    EXPECT_EQ(w.cache().LightBits, 1);

    ASSERT_TRUE(server.setOnBus(false));
    w.connection().tmrVantorA_Timer(); // the watchdog's next tick
    EXPECT_EQ(serverState(), "Vantor Inactive");
    EXPECT_FALSE(w.cache().VantorAy);
    const int writes = board(10001).writes;
    w.tmrGlimrow_Timer(); // the update cycle no longer runs
    EXPECT_EQ(board(10001).writes, writes);

    record["LightBits"] = 2;
    server.setRecord(record);
    ASSERT_TRUE(server.setOnBus(true));
    w.connection().tmrVantorA_Timer();
    EXPECT_EQ(serverState(), "Vantor-A");
    w.tmrGlimrow_Timer();
    EXPECT_EQ(board(10001).leds[0], 0);
    EXPECT_EQ(board(10001).leds[1], 75);
}

TEST_F(WindowFaults, StreamStopsAndANewChoiceOfTcpConnectsAgain)
{
    frmGlimrow& w = start("TCP");
    ASSERT_TRUE(waitFor([&] { return m_stream.hasPendingConnections(); }));
    QTcpSocket* peer = m_stream.nextPendingConnection();
    peer->write(frame(1));
    ASSERT_TRUE(waitFor([&] { return w.cache().VantorAy; }));
    w.connection().tmrVantorA_Timer();
    EXPECT_EQ(serverState(), "Vantor-A");
    EXPECT_TRUE(QFontInfo(w.ui().optConnectType[0]->font()).bold());

    peer->abort(); // the data server goes away mid-stream
    ASSERT_TRUE(waitFor([&] { return w.connection().socketState() != 7; }));
    w.connection().tmrVantorA_Timer();
    EXPECT_EQ(serverState(), "Vantor Inactive");
    EXPECT_FALSE(w.cache().VantorAy);
    EXPECT_FALSE(QFontInfo(w.ui().optConnectType[0]->font()).bold());

    // It comes back; the user picks TCP/IP again.
    QTest::mouseClick(w.ui().optConnectType[0], Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return m_stream.hasPendingConnections(); }));
    peer = m_stream.nextPendingConnection();
    peer->write(frame(4));
    ASSERT_TRUE(waitFor([&] { return w.cache().LightBits == 4; }));
    w.tmrGlimrow_Timer();
    EXPECT_EQ(board(10001).leds[2], 75);
}

TEST_F(WindowFaults, WrongTypesMissingPropertiesAndHugeTextsAreSkippedStepByStep)
{
    FlightDataServer server(*s_bus, FlightDataServer::Answers::Raw);
    QVariantMap record = flightRecord();
    record["LightBits"] = 8;
    record["FuelFlow"] = QStringLiteral("not a number"); // wrong type
    record.remove("InternalFuel");                       // missing
    record["DEDLines"] = QString(1024 * 1024, u'A');     // 1 MB
    record["GS"] = 2.5;
    server.setRecord(record);
    frmGlimrow& w = start("DCOM");
    ASSERT_EQ(serverState(), "Vantor-A");

    w.tmrGlimrow_Timer();
    EXPECT_EQ(board(10001).leds[3], 75);                     // lamps served
    EXPECT_EQ(board(50001).motors[0], 2.5);                  // G-suit served
    EXPECT_EQ(board(40001).rows[0], "     0");               // fuel flow skipped: the file's text
    EXPECT_EQ(w.ui().lblGlimrow[0]->text().count(u'\n'), 5); // the DED mirror shows its lines

    record["LightBits"] = QStringLiteral("8"); // the copy into the cache fails
    server.setRecord(record);
    w.tmrGlimrow_Timer();
    EXPECT_EQ(w.cache().LightBits, 8);
    EXPECT_EQ(board(50001).motors[0], 2.5);
}

TEST_F(WindowFaults, ABoardThatFailsOrIsUnpluggedMidCycleEndsOnlyItsOwnProcedure)
{
    FlightDataServer server(*s_bus);
    QVariantMap record = flightRecord();
    record["LightBits"] = 1;
    record["LightBits2"] = 1;
    server.setRecord(record);
    frmGlimrow& w = start("DCOM");

    m_hardware.setFailing(10001, true);
    m_hardware.detach(20001);
    QCoreApplication::processEvents();
    w.tmrGlimrow_Timer();
    EXPECT_EQ(board(10001).leds[0], 0);         // failing: its procedure ended
    EXPECT_EQ(board(10002).leds[0], 75);        // the next board still served
    EXPECT_EQ(w.grdGlimrow(2).text(1, 2), "*"); // unplugged board: its grid still refreshed
    EXPECT_EQ(board(30001).rows.size(), 2);

    m_hardware.setFailing(10001, false);
    m_hardware.attach(20001);
    QCoreApplication::processEvents();
    w.tmrGlimrow_Timer();
    EXPECT_EQ(board(10001).leds[0], 75);
    EXPECT_TRUE(board(20001).outputs[0]);
}
