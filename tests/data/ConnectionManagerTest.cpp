#include "support/PrivateBus.h"
#include "support/QtPrinters.h"
#include "support/Waiting.h"

#include "data/ConnectionManager.h"
#include "data/DBusFlightData.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

using namespace glimrow;
using glimrow::test::FlightDataServer;
using glimrow::test::PrivateBus;

namespace {

// The Communication frame and status bar, as plain state.
class RecordingView : public ConnectionView {
public:
    QString address = "127.0.0.1";
    QString port;
    bool fieldsEnabled = true;
    bool tcpBold = false;
    int selected = -1;
    QString serverState;

    QString serverAddress() const override { return address; }
    QString serverPort() const override { return port; }
    void setServerFieldsEnabled(bool enabled) override { fieldsEnabled = enabled; }
    void setTcpCaptionBold(bool bold) override { tcpBold = bold; }
    void showConnectType(int index) override { selected = index; }
    bool isDcomSelected() const override { return selected == 1; }
    void showServerState(const QString& text) override { serverState = text; }
};

QByteArray frame(int lightBits, char flag)
{
    QByteArray block = "@";
    for (int field = 1; field <= 80; ++field)
        block += (field == 32 ? QByteArray::number(lightBits) : QByteArray("0")) + '@';
    return block + flag;
}

// A data server's stream end: accepts one client and sends what the test says.
class StreamServer {
public:
    StreamServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection,
                         [this] { m_client = m_server.nextPendingConnection(); });
    }
    QString port() const { return QString::number(m_server.serverPort()); }
    bool waitForClient()
    {
        return test::waitFor([this] { return m_client != nullptr; });
    }
    void send(const QByteArray& data)
    {
        m_client->write(data);
        m_client->flush();
    }
    void drop() { m_client->abort(); }

private:
    QTcpServer m_server;
    QTcpSocket* m_client = nullptr;
};

class Connection : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_bus = new PrivateBus; }
    static void TearDownTestSuite()
    {
        delete s_bus;
        s_bus = nullptr;
    }

    ConnectionManager& manager()
    {
        if (!m_manager) {
            m_manager = std::make_unique<ConnectionManager>(m_view, m_cache, [this] {
                ++m_objectsMade;
                return std::make_unique<DBusFlightData>(s_bus->connect("program"));
            });
        }
        return *m_manager;
    }

    static PrivateBus* s_bus;
    RecordingView m_view;
    FlightDataCache m_cache;
    int m_objectsMade = 0;
    std::unique_ptr<ConnectionManager> m_manager;
};

PrivateBus* Connection::s_bus = nullptr;

} // namespace

TEST_F(Connection, TcpStreamFeedsTheCacheAndTheWatchdogShowsIt)
{
    StreamServer server;
    m_view.address = "  127.0.0.1 ";
    m_view.port = " " + server.port() + " ";
    manager().ChooseConnectType(0);
    EXPECT_EQ(m_view.selected, 0);
    EXPECT_TRUE(m_view.fieldsEnabled);
    EXPECT_EQ(m_view.serverState, "Vantor Inactive");
    EXPECT_NE(manager().socketState(), 0);
    ASSERT_TRUE(server.waitForClient());

    QSignalSpy blocks(&manager(), &ConnectionManager::blockDecoded);
    server.send(frame(42, '1'));
    ASSERT_TRUE(blocks.wait(5000));
    EXPECT_EQ(m_cache.LightBits, 42);
    EXPECT_TRUE(m_cache.VantorAy);

    manager().tmrVantorA_Timer();
    EXPECT_TRUE(m_view.tcpBold);
    EXPECT_EQ(m_view.serverState, "Vantor-A");
    EXPECT_EQ(manager().tmrVantorA().interval(), ConnectionManager::kActivePeriodMs);

    // A stream that goes quiet for a whole watchdog period is not an active server.
    manager().tmrVantorA_Timer();
    EXPECT_FALSE(m_cache.VantorAy);
    EXPECT_EQ(m_view.serverState, "Vantor Inactive");
    EXPECT_EQ(manager().tmrVantorA().interval(), ConnectionManager::kInactivePeriodMs);

    // The server goes away: the caption returns to normal at the next tick.
    server.send(frame(43, '1'));
    ASSERT_TRUE(blocks.wait(5000));
    server.drop();
    ASSERT_TRUE(test::waitFor([this] { return manager().socketState() != 7; }));
    manager().tmrVantorA_Timer();
    EXPECT_FALSE(m_view.tcpBold);
    EXPECT_FALSE(m_cache.VantorAy);
    EXPECT_EQ(m_view.serverState, "Vantor Inactive");
}

TEST_F(Connection, UnusableAddressesNeverHangTheWindow)
{
    QElapsedTimer clock;
    clock.start();
    m_view.port = "not a port";
    manager().ChooseConnectType(0);
    EXPECT_EQ(manager().socketState(), 0); // no request could be made

    quint16 closedPort = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        closedPort = probe.serverPort();
    }
    m_view.port = QString::number(closedPort);
    manager().ChooseConnectType(0);
    EXPECT_TRUE(test::waitFor([this] { return manager().socketState() == 9; }));
    manager().tmrVantorA_Timer();
    EXPECT_EQ(m_view.serverState, "Vantor Inactive");
    EXPECT_LT(clock.elapsed(), 4000);
}

TEST_F(Connection, ChoosingDcomAndBackSwapsSocketAndObject)
{
    ASSERT_FALSE(s_bus->address().isEmpty());
    FlightDataServer server(*s_bus);
    server.setRecord({{"VantorAy", true}});
    StreamServer stream;
    m_view.port = stream.port();
    manager().ChooseConnectType(0);
    ASSERT_TRUE(stream.waitForClient());

    manager().ChooseConnectType(1);
    EXPECT_EQ(manager().socketState(), 0);
    EXPECT_FALSE(m_view.fieldsEnabled);
    EXPECT_FALSE(m_view.tcpBold);
    EXPECT_EQ(m_objectsMade, 1);
    ASSERT_NE(manager().flightDataObject(), nullptr);
    EXPECT_TRUE(m_cache.VantorAy);
    EXPECT_EQ(m_view.serverState, "Vantor-A");
    EXPECT_EQ(manager().tmrVantorA().interval(), ConnectionManager::kActivePeriodMs);

    // The server stops: the next tick notices and the watchdog goes back to one second.
    ASSERT_TRUE(server.setOnBus(false));
    manager().tmrVantorA_Timer();
    EXPECT_FALSE(m_cache.VantorAy);
    EXPECT_EQ(manager().tmrVantorA().interval(), ConnectionManager::kInactivePeriodMs);

    manager().ChooseConnectType(0);
    EXPECT_EQ(manager().flightDataObject(), nullptr);
    EXPECT_FALSE(m_cache.VantorAy);
    EXPECT_TRUE(m_view.fieldsEnabled);
    EXPECT_EQ(m_view.serverState, "Vantor Inactive");
}
