#include "support/QtPrinters.h"

#include "app/frmGlimrow.h"
#include "common/MessageReporter.h"
#include "phidget/virtual/VirtualHardware.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace glimrow;

namespace {

class NoMessages : public MessageReporter {
public:
    void showMessage(const QString& title, const QString&) override
    {
        ADD_FAILURE() << "unexpected message " << title.toStdString();
    }
};

// The window on the example configuration with virtual boards and no data server.
class WindowOutputs : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile example(GLIMROW_EXAMPLES_DIR "/Glimrow.cfg");
        ASSERT_TRUE(example.open(QIODevice::ReadOnly));
        QFile config(m_dir.filePath("Glimrow.cfg"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(example.readAll().replace("[COMPREF]\r\nDCOM", "[COMPREF]\r\nTCP"));
        config.close();

        m_hardware.addDefaultBoards();
        StartupSettings settings;
        settings.configFilePath = m_dir.filePath("Glimrow.cfg");
        settings.instanceLockPath = m_dir.filePath("lock");
        settings.openPhidgets = [this](PhidgetManager& manager) { m_hardware.open(manager); };
        m_window = std::make_unique<frmGlimrow>(m_messages, settings);
        ASSERT_TRUE(m_window->Form_Load());
        QCoreApplication::processEvents();
    }

    const VirtualDevice& board(int serial) const { return *m_hardware.device(serial); }

    QTemporaryDir m_dir;
    NoMessages m_messages;
    VirtualHardware m_hardware; // outlives the window
    std::unique_ptr<frmGlimrow> m_window;
};

} // namespace

TEST_F(WindowOutputs, AllLampsOnLightsEverythingAndItsReleaseDarkens)
{
    frmGlimrow& w = *m_window;
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
}

TEST_F(WindowOutputs, ShutdownDarkensEveryBoardBacklightsIncluded)
{
    frmGlimrow& w = *m_window;
    QTest::mouseClick(w.ui().chkGlimrow[1], Qt::LeftButton);
    ASSERT_TRUE(board(30002).backlight);
    w.ShutdownProgram();
    EXPECT_EQ(board(10001).leds, std::vector<int>(64, 0));
    EXPECT_EQ(board(20002).outputs, std::vector<bool>(16, false));
    EXPECT_FALSE(board(30001).backlight);
    EXPECT_FALSE(board(30002).backlight);
    EXPECT_EQ(board(40002).brightness, 0);
    EXPECT_FALSE(w.devices().pRavazLED(1)); // slots released
}
