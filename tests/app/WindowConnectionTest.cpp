#include "support/PrivateBus.h"
#include "support/QtPrinters.h"

#include "app/frmGlimrow.h"
#include "common/MessageReporter.h"
#include "data/DBusFlightData.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
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

namespace {

class NoMessages : public MessageReporter {
public:
    void showMessage(const QString& title, const QString&) override
    {
        ADD_FAILURE() << "unexpected message " << title.toStdString();
    }
};

const QByteArray kSections = "[PTLED-1]\r\n[PTLED-2]\r\n[PTLCD-1]\r\n[PTLCD-2]\r\n[SKITS]\r\n"
                             "[EPICAnalogs]\r\n";

template <typename Condition> bool waitFor(Condition condition)
{
    QElapsedTimer waited;
    waited.start();
    while (!condition() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return condition();
}

class WindowConnection : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_bus = new PrivateBus; }
    static void TearDownTestSuite()
    {
        delete s_bus;
        s_bus = nullptr;
    }

    frmGlimrow& start(const QByteArray& config)
    {
        QFile file(m_dir.filePath("Glimrow.cfg"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(config + kSections);
        file.close();
        StartupSettings settings;
        settings.configFilePath = m_dir.filePath("Glimrow.cfg");
        settings.instanceLockPath = m_dir.filePath("lock");
        settings.flightDataFactory = [] {
            return std::make_unique<DBusFlightData>(s_bus->connect(QStringLiteral("program")));
        };
        m_window = std::make_unique<frmGlimrow>(m_messages, settings);
        EXPECT_TRUE(m_window->Form_Load());
        return *m_window;
    }

    static PrivateBus* s_bus;
    QTemporaryDir m_dir;
    NoMessages m_messages;
    std::unique_ptr<frmGlimrow> m_window;
};

PrivateBus* WindowConnection::s_bus = nullptr;

} // namespace

TEST_F(WindowConnection, DcomByDefaultRunsTheCycleFromThePollingTick)
{
    FlightDataServer server(*s_bus);
    server.setRecord({{"VantorAy", true},
                      {"LightBits", 5},
                      {"LightBits2", 6},
                      {"LightBits3", 7},
                      {"SpeedBrake", 0.25}});
    frmGlimrow& w = start("");
    EXPECT_TRUE(w.ui().optConnectType[1]->isChecked());
    EXPECT_FALSE(w.ui().fldGlimrow[0]->isEnabled());
    EXPECT_EQ(w.ui().sbStatusBarPanel[1]->text(), "Vantor-A");

    w.tmrGlimrow_Timer();
    EXPECT_EQ(w.cache().LightBits, 5);
    EXPECT_EQ(w.cache().LightBits3, 7);
    EXPECT_EQ(w.cache().SpeedBrake, 0.25f);
    EXPECT_EQ(server.fillCount(), 1);

    // Shutdown closes the object: the window no longer holds one.
    w.ShutdownProgram();
    EXPECT_EQ(w.connection().flightDataObject(), nullptr);
}

TEST_F(WindowConnection, TcpFromTheConfigurationConnectsAndShowsItInBold)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    frmGlimrow& w = start("[TCPIP-IP]\r\n127.0.0.1\r\n[TCPIP-PORT]\r\n" +
                          QByteArray::number(server.serverPort()) + "\r\n[COMPREF]\r\nTCP\r\n");
    QRadioButton* tcp = w.ui().optConnectType[0];
    EXPECT_TRUE(tcp->isChecked());
    ASSERT_TRUE(waitFor([&] { return server.hasPendingConnections(); }));
    ASSERT_TRUE(waitFor([&] { return w.connection().socketState() == 7; }));
    w.connection().tmrVantorA_Timer();
    EXPECT_TRUE(QFontInfo(tcp->font()).bold());

    // The user picks DCOM: the socket closes and the caption is normal again.
    QTest::mouseClick(w.ui().optConnectType[1], Qt::LeftButton);
    EXPECT_TRUE(w.ui().optConnectType[1]->isChecked());
    EXPECT_EQ(w.connection().socketState(), 0);
    EXPECT_FALSE(QFontInfo(tcp->font()).bold());
}
