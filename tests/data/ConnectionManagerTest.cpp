// The connection to the data server as the cockpit chooses and watches it: the stream over a
// loopback socket, the flight-data object on a private D-Bus daemon.

#include "support/CockpitFixture.h"
#include "support/PrivateBus.h"
#include "support/QtPrinters.h"
#include "support/StreamFrames.h"
#include "support/Waiting.h"

#include "data/DBusFlightData.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpSocket>

using namespace glimrow;
using namespace glimrow::test;

namespace {

QByteArray frame(int lightBits)
{
    return streamFrame({{32, QByteArray::number(lightBits)}});
}

class Connection : public CockpitFixture {
protected:
    ConnectionManager& manager() { return m_cockpit->connection(); }
    // The stream's peer, once the cockpit has connected.
    QTcpSocket* peer()
    {
        EXPECT_TRUE(waitFor([this] { return m_stream.hasPendingConnections(); }));
        return m_stream.nextPendingConnection();
    }
};

} // namespace

TEST_F(Connection, TcpStreamFeedsTheCacheAndTheWatchdogShowsIt)
{
    QByteArray keys = tcpKeys();
    keys.replace("127.0.0.1", "  127.0.0.1 "); // as typed, blanks and all
    start(withRequiredSections(keys));
    EXPECT_TRUE(m_view.serverFieldsEnabled);
    EXPECT_EQ(m_view.serverState(), "Vantor Inactive");
    QTcpSocket* server = peer();
    FlightDataCache& cache = m_cockpit->cache();
    ASSERT_TRUE(waitFor([this] { return m_view.connectionStatus() == "Connected"; }));

    // A frame in two writes is decoded once, whole.
    QSignalSpy frames(&manager(), &ConnectionManager::frameDecoded);
    const QByteArray whole = frame(42);
    server->write(whole.first(120));
    ASSERT_TRUE(server->waitForBytesWritten(5000));
    server->write(whole.sliced(120));
    ASSERT_TRUE(frames.wait(5000));
    EXPECT_EQ(frames.size(), 1);
    EXPECT_EQ(cache.LightBits, 42);
    EXPECT_TRUE(cache.VantorAy);
    EXPECT_EQ(m_view.serverState(), "Vantor-A");
    manager().tmrVantorA_Timer();
    EXPECT_TRUE(m_view.tcpCaptionBold);
    EXPECT_EQ(manager().tmrVantorA().interval(), ConnectionManager::kActivePeriodMs);

    // Bytes that never make a frame do not keep the server active; in a stream without line
    // ends they leave no way to find the next frame but a new connection.
    server->write("@" + QByteArray(100000, '7'));
    EXPECT_TRUE(waitFor([this] { return m_view.serverState() == "Vantor Inactive"; },
                        ConnectionManager::kStreamSilenceMs + 1000));
    EXPECT_FALSE(cache.VantorAy);
    EXPECT_EQ(manager().tmrVantorA().interval(), ConnectionManager::kInactivePeriodMs);
    server = peer();
    server->write(frame(43));
    ASSERT_TRUE(waitFor([&] { return cache.LightBits == 43 && cache.VantorAy; }));

    // The server goes away and comes back: the program connects again by itself.
    server->abort();
    ASSERT_TRUE(waitFor([this] { return m_view.connectionStatus().contains("trying again"); }));
    manager().tmrVantorA_Timer();
    EXPECT_FALSE(m_view.tcpCaptionBold);
    peer()->write(frame(44));
    ASSERT_TRUE(waitFor([&] { return cache.LightBits == 44 && cache.VantorAy; }));
}

TEST_F(Connection, AServerStartedAfterTheProgramIsFound)
{
    const QByteArray keys = tcpKeys();
    const quint16 port = m_stream.serverPort();
    m_stream.close();
    start(withRequiredSections(keys));
    ASSERT_TRUE(waitFor([this] { return m_view.connectionStatus().contains("trying again"); }));
    EXPECT_TRUE(m_view.connectionStatus().startsWith(
        QStringLiteral("127.0.0.1:%1: Connection refused").arg(port)))
        << m_view.connectionStatus().toStdString();
    ASSERT_TRUE(m_stream.listen(QHostAddress::LocalHost, port));
    peer()->write(frame(5));
    ASSERT_TRUE(waitFor([this] { return m_cockpit->cache().LightBits == 5; }));

    // Choosing DCOM stops the stream for good.
    m_cockpit->ChooseConnectType(1);
    m_stream.close();
    EXPECT_EQ(manager().socketState(), 0);
    EXPECT_TRUE(m_view.connectionStatus().isEmpty());
}

TEST_F(Connection, AServerThatAcceptsAndClosesAtOnceIsTriedLessAndLessOftenAndSaidOnce)
{
    QList<qint64> accepted;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&m_stream, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = m_stream.nextPendingConnection()) {
            accepted << clock.elapsed();
            socket->close();
        }
    });
    const QStringList& said = m_view.connectionStatuses;
    start(withRequiredSections(tcpKeys()));
    ASSERT_TRUE(waitFor([&] { return accepted.size() >= 3; }, 10000));
    // 0.5 s, then 1 s: a connection that delivered nothing does not reset the back-off.
    EXPECT_GE(accepted[2] - accepted[1], 900);
    EXPECT_EQ(said.count("Connected"), 1) << said.join(" | ").toStdString();
    EXPECT_EQ(said.filter("closed the connection").size(), 1) << said.join(" | ").toStdString();

    // Once a connection delivers, the next failure is said again.
    QObject::disconnect(&m_stream, &QTcpServer::newConnection, nullptr, nullptr);
    peer()->write(frame(5));
    ASSERT_TRUE(waitFor([this] { return m_cockpit->cache().LightBits == 5; }));
    EXPECT_TRUE(said.back().startsWith("Connected (the failure before happened"))
        << said.back().toStdString();
}

TEST_F(Connection, UnusableAddressesNeverHangTheWindow)
{
    QElapsedTimer clock;
    clock.start();
    start(withRequiredSections("[TCPIP-IP]\r\n127.0.0.1\r\n[TCPIP-PORT]\r\nnot a port\r\n"
                               "[COMPREF]\r\nTCP\r\n"));
    EXPECT_EQ(manager().socketState(), 0); // no request could be made, none will be
    EXPECT_EQ(m_view.connectionStatus(), "Port \"not a port\" is not a port number (1 to 65535)");

    quint16 closedPort = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        closedPort = probe.serverPort();
    }
    m_view.setServerPort(QString::number(closedPort));
    m_cockpit->ChooseConnectType(0);
    EXPECT_TRUE(waitFor([this] { return manager().socketState() == 9; }));
    manager().tmrVantorA_Timer();
    EXPECT_EQ(m_view.serverState(), "Vantor Inactive");
    EXPECT_LT(clock.elapsed(), 4000);
}

TEST_F(Connection, ChoosingDcomAndBackSwapsSocketAndObject)
{
    PrivateBus bus;
    FlightDataServer server(bus);
    server.setRecord({{"VantorAy", true}});
    start(withRequiredSections(tcpKeys()),
          [&bus] { return std::make_unique<DBusFlightData>(bus.connector()); });
    peer();

    m_cockpit->ChooseConnectType(1);
    EXPECT_EQ(manager().socketState(), 0);
    EXPECT_FALSE(m_view.serverFieldsEnabled);
    EXPECT_FALSE(m_view.tcpCaptionBold);
    ASSERT_NE(manager().flightDataObject(), nullptr);
    ASSERT_TRUE(waitFor([this] { return m_view.serverState() == "Vantor-A"; }));
    EXPECT_EQ(manager().tmrVantorA().interval(), ConnectionManager::kActivePeriodMs);

    // The server stops answering: the next refresh gets no answer and the cycle stops at
    // once; the window is never held while it waits.
    server.freeze();
    QElapsedTimer clock;
    clock.start();
    m_cockpit->tmrGlimrow_Timer();
    EXPECT_LT(clock.elapsed(), 100);
    ASSERT_TRUE(waitFor([this] { return m_view.serverState() == "Vantor Inactive"; }, 1000));
    EXPECT_FALSE(m_cockpit->cache().VantorAy);
    EXPECT_EQ(manager().tmrVantorA().interval(), ConnectionManager::kInactivePeriodMs);
    // It answers again: the next polling tick asks and finds it active.
    server.thaw();
    m_cockpit->tmrGlimrow_Timer();
    ASSERT_TRUE(waitFor([this] { return m_view.serverState() == "Vantor-A"; }));

    // The server leaves the bus: inactive at once, not at the watchdog's next tick 20 s on,
    // and said why; it comes back: active again within a polling period.
    ASSERT_TRUE(waitFor([this] { return m_view.serverState() == "Vantor-A"; }));
    ASSERT_TRUE(server.setOnBus(false));
    EXPECT_TRUE(waitFor([this] { return m_view.serverState() == "Vantor Inactive"; }, 1000));
    // Said at once; a polling tick since may have put its own "not on the session bus" after it.
    EXPECT_TRUE(m_view.connectionStatuses.contains("The data server left the session bus"))
        << m_view.connectionStatuses.join(" | ").toStdString();
    ASSERT_TRUE(server.setOnBus(true));
    EXPECT_TRUE(waitFor([this] { return m_view.serverState() == "Vantor-A"; }, 1000));
    EXPECT_EQ(m_view.connectionStatus(), "");
    const QStringList said = m_view.connectionStatuses;
    EXPECT_EQ(said.count("The data server left the session bus"), 1);
    ASSERT_TRUE(server.setOnBus(false));
    ASSERT_TRUE(waitFor([this] { return !m_cockpit->cache().VantorAy; }));

    m_cockpit->ChooseConnectType(0);
    EXPECT_EQ(manager().flightDataObject(), nullptr);
    EXPECT_TRUE(m_view.serverFieldsEnabled);
    EXPECT_EQ(m_view.serverState(), "Vantor Inactive");
}

TEST_F(Connection, ARefreshThatAnswersAfterAllLampsOnRunsNoCycle)
{
    PrivateBus bus;
    FlightDataServer server(bus);
    server.setRecord({{"VantorAy", true}, {"LightBits", 0}});
    start(withRequiredSections("[PLED64-1]\r\n0,Master caution,1,1\r\n"),
          [&bus] { return std::make_unique<DBusFlightData>(bus.connector()); });
    m_cockpit->setPollingInterval(100000); // only the test's ticks
    ASSERT_TRUE(waitFor([this] { return m_view.serverState() == "Vantor-A"; }));
    // The refresh's answer has arrived once its snapshot can be read.
    const auto answered = [this] {
        try {
            manager().flightDataObject()->readNumber(FlightDataField::LightBits);
            return true;
        } catch (const FlightDataError&) {
            return false;
        }
    };
    for (int round = 0; round < 3; ++round) {
        m_cockpit->tmrGlimrow_Timer(); // the refresh is on its way
        m_cockpit->setAllLampsOn(true);
        ASSERT_TRUE(waitFor(answered)) << "round " << round;
        EXPECT_EQ(board(10001).leds, std::vector<int>(64, 75)) << "round " << round;
        m_cockpit->setAllLampsOn(false);
    }
}

TEST_F(Connection, ADataServerThatSaysWhatChangedIsFollowedWithoutPolling)
{
    PrivateBus bus;
    FlightDataServer server(bus);
    server.setRecord({{"VantorAy", true}, {"LightBits", 0}});
    server.announceChanges(50);
    start(withRequiredSections("[PLED64-1]\r\n0,Master caution,1,1\r\n"),
          [&bus] { return std::make_unique<DBusFlightData>(bus.connector()); });
    m_cockpit->setPollingInterval(100000); // only the server's word brings a cycle
    ASSERT_TRUE(waitFor([this] { return m_view.serverState() == "Vantor-A"; }));
    for (int lit : {1, 0, 1}) {
        server.setValue(QStringLiteral("LightBits"), lit);
        EXPECT_TRUE(waitFor([&] { return board(10001).leds[0] == lit * 75; })) << lit;
    }
}
