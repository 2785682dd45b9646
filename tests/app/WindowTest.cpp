#include "app/FlightDataTab.h"
#include "app/Twips.h"
#include "app/WindowPlacement.h"
#include "app/frmGlimrow.h"

#include "phidget/virtual/VirtualHardware.h"
#include "phidget/virtual/VirtualHardwareWindow.h"

#include "data/StreamDecoder.h"
#include "support/QrReader.h"
#include "support/QtPrinters.h"
#include "support/StreamFrames.h"
#include "support/Waiting.h"
#include "web/Dashboard.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QFontInfo>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace glimrow;
using glimrow::test::waitFor;

namespace {

// Message boxes written down instead of shown.
class RecordingMessages : public MessageReporter {
public:
    QStringList texts;
    void showMessage(const QString&, const QString& text) override { texts << text; }
};

// A window started from a configuration in a scratch folder, with virtual boards.
class Window : public ::testing::Test {
protected:
    Window() { m_hardware.addDefaultBoards(); }
    void writeConfig(const QByteArray& config)
    {
        ASSERT_TRUE(m_dir.isValid());
        QFile file(m_dir.filePath("Glimrow.cfg"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(config);
    }
    void start(const QByteArray& config)
    {
        writeConfig(config);
        CockpitSettings settings;
        settings.configFilePath = m_dir.filePath("Glimrow.cfg");
        settings.instanceLockPath = m_dir.filePath("glimrow.lock");
        settings.openPhidgets = [this](PhidgetManager& manager) { m_hardware.open(manager); };
        settings.flightDataFactory = []() -> std::unique_ptr<FlightDataObject> {
            throw FlightDataError("no data server in these tests");
        };
        m_window = std::make_unique<frmGlimrow>(m_messages, settings);
        ASSERT_TRUE(m_window->Form_Load());
        EXPECT_TRUE(m_messages.texts.isEmpty());
    }

    QTableWidget* table(int index) const { return m_window->ui().grdGlimrow[std::size_t(index)]; }
    OutputGrid& grid(int index) { return m_window->grdGlimrow(index); }

    QTemporaryDir m_dir;
    VirtualHardware m_hardware;
    RecordingMessages m_messages;
    std::unique_ptr<frmGlimrow> m_window;
};

// Every section with a line whose description names the section.
const QByteArray kEverySection =
    "[PLED64-1]\r\n0,PLED64-1,1,1\r\n[PLED64-2]\r\n0,PLED64-2,1,1\r\n"
    "[P01616-1]\r\n0,P01616-1,1,1\r\n[P01616-2]\r\n0,P01616-2,1,1\r\n"
    "[PTLED-1]\r\n0,PTLED-1,FUELFLOW,\r\n[PTLED-2]\r\n0,PTLED-2,X,\r\n"
    "[PTLCD-1]\r\n1,PTLCD-1,PFD,\r\n[PTLCD-2]\r\n1,PTLCD-2,PFD,\r\n"
    "[SKITS]\r\n0,SKITS,KIAS,0\r\n[EPICAnalogs]\r\n7,EPICAnalogs,RPM,\r\n";
const QByteArray kTextSections = "[PTLED-1]\r\n[PTLED-2]\r\n[PTLCD-1]\r\n[PTLCD-2]\r\n[SKITS]\r\n"
                                 "[EPICAnalogs]\r\n";

} // namespace

TEST_F(Window, EachSectionIsListedInItsGridOfTheDesign)
{
    start(kEverySection);
    const std::pair<int, const char*> grids[] = {
        {0, "PLED64-1"}, {1, "PLED64-2"}, {2, "P01616-1"}, {5, "P01616-2"}, {3, "PTLED-1"},
        {11, "PTLED-2"}, {6, "PTLCD-1"},  {12, "PTLCD-2"}, {7, "SKITS"},    {10, "EPICAnalogs"}};
    for (const auto& [index, section] : grids) {
        EXPECT_EQ(grid(index).rowCount(), 2) << section;
        EXPECT_EQ(grid(index).text(1, 1), section) << "grid " << index;
    }
    EXPECT_EQ(table(0)->columnWidth(1), twipsToPixels(3200));
    EXPECT_TRUE(table(6)->item(0, 3)->textAlignment() & Qt::AlignRight);
    EXPECT_TRUE(table(10)->item(1, 0)->textAlignment() & Qt::AlignHCenter);
    EXPECT_EQ(grid(4).text(0, 3), "Serial#");
    EXPECT_EQ(grid(8).text(20, 0), "20");

    // The Messages tab lists the file's one warning (the unknown keyword "X"), counted below.
    ASSERT_EQ(m_window->ui().lstMessages->count(), 1);
    EXPECT_TRUE(m_window->ui().lstMessages->item(0)->text().startsWith(
        "Warning: Glimrow.cfg, line 12: \"0,PTLED-2,X,\": unknown TextLED keyword"));
    EXPECT_EQ(m_window->ui().lblMessageCount->text(),
              "Glimrow.cfg: 1 line to look at (Messages tab)");

    // As a person does it: a click on a line, then keys typed into the window. Space tests
    // the line (the LED lights, the whole line is marked, the status says so); Escape ends it.
    m_window->show();
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    QCoreApplication::processEvents(); // the boards attach
    const auto click = [](QTableWidget* grid, int row) {
        const QRect line = grid->visualRect(grid->model()->index(row, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, line.center());
    };
    const auto type = [this](Qt::Key key) { QTest::keyClick(m_window->windowHandle(), key); };
    click(table(1), 1);
    EXPECT_TRUE(table(1)->hasFocus());
    type(Qt::Key_Space);
    EXPECT_EQ(m_hardware.device(10002)->leds[0], 75);
    EXPECT_EQ(m_window->statusBar()->currentMessage(), "Testing: PLED64-2 PLED64-2");
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(table(1)->item(1, column)->background().color(), QColor(255, 230, 0))
            << "column " << column;
    }
    type(Qt::Key_Escape);
    EXPECT_EQ(m_hardware.device(10002)->leds[0], 0);
    EXPECT_EQ(m_window->statusBar()->currentMessage(), "");
    // A TextLED line under test shows in its grid what its board shows.
    QTabWidget* tabs = m_window->ui().tabGlimrow;
    for (int tab = 0; tab < tabs->count(); ++tab) {
        if (tabs->widget(tab)->isAncestorOf(table(3)))
            tabs->setCurrentIndex(tab);
    }
    click(table(3), 1);
    type(Qt::Key_Space);
    EXPECT_EQ(grid(3).text(1, 3), "8888");
    EXPECT_EQ(m_hardware.device(40001)->rows[0], "8888");
    // Choosing another line ends the test; Tab moves the keyboard on from grid to grid.
    table(3)->setCurrentCell(0, 0);
    EXPECT_FALSE(m_window->cockpit().outputUnderTest());
    ASSERT_TRUE(table(3)->hasFocus());
    type(Qt::Key_Tab);
    EXPECT_FALSE(table(3)->hasFocus());
    type(Qt::Key_Backtab);
    EXPECT_TRUE(table(3)->hasFocus());

    // The user cannot bring up the MFD and HUD tabs.
    EXPECT_FALSE(m_window->ui().tabGlimrow->isTabEnabled(6));
    EXPECT_FALSE(m_window->ui().tabGlimrow->isTabEnabled(7));
    EXPECT_TRUE(m_window->ui().tabGlimrow->isTabEnabled(8));
}

TEST_F(Window, LongNamesAreShownWholeAndTheBoardsWindowFitsASmallScreen)
{
    start(kEverySection);
    // Every tab's caption is in the tab row, none behind scroll arrows, whatever Qt's padding.
    const QTabWidget* tabs = m_window->ui().tabGlimrow;
    EXPECT_LE(tabs->tabBar()->sizeHint().width(), tabs->width());
    QCoreApplication::processEvents(); // the boards attach
    QTableWidget* devices = table(4);
    for (int row = 0; row < devices->rowCount(); ++row) {
        for (int column = 0; column < devices->columnCount(); ++column) {
            const QTableWidgetItem* item = devices->item(row, column);
            if (item) {
                EXPECT_LE(devices->fontMetrics().horizontalAdvance(item->text()),
                          devices->columnWidth(column))
                    << item->text().toStdString();
            }
        }
    }
    // A description too long for its column ends in an ellipsis, and says itself whole.
    EXPECT_EQ(devices->textElideMode(), Qt::ElideRight);
    EXPECT_EQ(table(0)->item(1, 1)->toolTip(), "PLED64-1");

    VirtualHardwareWindow boards(m_hardware);
    EXPECT_LE(boards.minimumSizeHint().width(), 1024);
    EXPECT_LE(boards.minimumSizeHint().height(), 700);
}

TEST_F(Window, GridCellsOutsideTheGridFailAndColoursShow)
{
    start(kEverySection);
    OutputGrid& gauges = grid(7);
    EXPECT_THROW(gauges.setText(2, 3, "250"), GridError);
    gauges.setText(1, 3, "250");
    EXPECT_EQ(gauges.text(1, 3), "250");
    EXPECT_TRUE(table(7)->item(1, 3)->textAlignment() & Qt::AlignRight); // a number
    gauges.setCellColour(1, 1, CellColour::Red);
    EXPECT_EQ(table(7)->item(1, 1)->background().color(), QColor(230, 0, 0));
    // A value last seen is greyed and says why; the header is not.
    gauges.setColumnStale(3, "last seen: not in the TCP/IP stream");
    EXPECT_EQ(table(7)->item(1, 3)->foreground(),
              table(7)->palette().brush(QPalette::Disabled, QPalette::Text));
    EXPECT_EQ(table(7)->item(1, 3)->toolTip(), "250 (last seen: not in the TCP/IP stream)");
    EXPECT_NE(table(7)->item(0, 3)->foreground(), table(7)->item(1, 3)->foreground());
}

TEST_F(Window, ResizingMovesOnlyTheTallGridsAndNeverBelowZero)
{
    start(kEverySection);
    frmGlimrow& w = *m_window;
    w.show();
    QCoreApplication::processEvents();

    const std::vector<int> tall{0, 1, 2, 5, 7, 4, 10};
    const std::vector<int> text{3, 11, 6, 12};
    std::map<int, int> before;
    for (int index : tall)
        before[index] = table(index)->height();
    for (int index : text)
        before[index] = table(index)->height();

    const int grow = twipsToPixels(600);
    w.resize(w.width(), w.height() + grow);
    w.Form_Resize();
    for (int index : tall)
        EXPECT_EQ(table(index)->height(), before[index] + grow) << "grid " << index;
    for (int index : text)
        EXPECT_EQ(table(index)->height(), before[index]) << "grid " << index;
    EXPECT_EQ(w.ui().fraGlimrow[7]->height() - table(0)->height(), twipsToPixels(300));

    w.resize(1, 1);
    w.Form_Resize();
    EXPECT_GE(w.width(), w.minimumWidth());
    for (int index : tall)
        EXPECT_GE(table(index)->height(), 0);
    EXPECT_GT(w.ui().tabGlimrow->height(), 0);
}

TEST_F(Window, ShowsTheFilesKeysAndTheControlsReachTheCore)
{
    start("[TCPIP-IP]\r\n 10.0.0.5 \r\n[TCPIP-PORT]\r\n2727\r\n[COMPREF]\r\nTCP\r\n"
          "[NOSCREENUPDATE]\r\ntrue\r\n[UPDATE-ON-ARRIVAL]\r\nFalse\r\n" +
          kTextSections);
    frmGlimrow& w = *m_window;
    Cockpit& cockpit = w.cockpit();
    const frmGlimrowUi& ui = w.ui();
    EXPECT_EQ(w.windowTitle(), "Vantor-Lumex Mon - ME Version 1.80");
    EXPECT_TRUE(
        ui.sbStatusBarPanel[0]->text().endsWith(QString::number(QDate::currentDate().year())));
    EXPECT_EQ(ui.sbStatusBarPanel[1]->text(), "Vantor Inactive");
    EXPECT_EQ(ui.fldGlimrow[0]->text(), " 10.0.0.5 ");
    EXPECT_TRUE(ui.fldGlimrow[0]->isEnabled());
    EXPECT_TRUE(ui.optConnectType[0]->isChecked());
    EXPECT_TRUE(ui.chkGlimrow[0]->isChecked());
    EXPECT_FALSE(cockpit.mbScreenUpdate());

    QTest::mouseClick(ui.chkGlimrow[0], Qt::LeftButton);
    EXPECT_TRUE(cockpit.mbScreenUpdate());
    QTest::mouseClick(ui.chkGlimrow[2], Qt::LeftButton);
    EXPECT_TRUE(cockpit.mbUpdateEpicAnyway());
    EXPECT_FALSE(ui.chkGlimrow[3]->isChecked());
    QTest::mouseClick(ui.chkGlimrow[3], Qt::LeftButton);
    EXPECT_TRUE(cockpit.updatesOnArrival());
    ui.sldGlimrow[0]->setValue(40); // below the range
    EXPECT_EQ(cockpit.lampBrightness(), 50);
    // Another view (the dashboard) acts through the core: the window shows it.
    cockpit.setLampBrightness(90);
    EXPECT_EQ(ui.sldGlimrow[0]->value(), 90);
    cockpit.setAllLampsOn(true);
    EXPECT_TRUE(ui.chkGlimrow[1]->isChecked());
    QTest::mouseClick(ui.chkGlimrow[1], Qt::LeftButton);
    EXPECT_FALSE(w.state().allLampsOn());
    EXPECT_EQ(ui.lblTimerValue->text(), "100");
    ui.sldGlimrow[1]->setValue(250);
    EXPECT_EQ(cockpit.tmrGlimrow().interval(), 250);
    EXPECT_EQ(ui.lblTimerValue->text(), "250");

    ui.optConnectType[1]->click(); // DCOM: the server fields are of no use
    EXPECT_FALSE(ui.fldGlimrow[0]->isEnabled());
    // An assistive technology's toggle action chooses as a click does.
    QAccessible::queryAccessibleInterface(ui.optConnectType[0])
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(cockpit.connection().isDcomSelected());
    EXPECT_TRUE(ui.fldGlimrow[0]->isEnabled());
    EXPECT_EQ(ui.grdGlimrow[7]->accessibleName(), ui.fraGlimrow[11]->title());
    ui.btnOpenEpic->click(); // no card in these tests: the user is told, the list says so
    EXPECT_EQ(m_messages.texts, QStringList({"Epic Not Detected"}));
    const int epicRow = grid(4).rowCount() - 1; // listed after the boards
    EXPECT_EQ(grid(4).text(epicRow, 1), "EPIC USB");
    EXPECT_EQ(grid(4).text(epicRow, 4), "EPICAnalogs");
    // Screen readers hear the grids' columns by their names.
    EXPECT_EQ(ui.grdGlimrow[4]->horizontalHeaderItem(3)->text(), "Serial#");

    // A G-suit formula that cannot be read turns red, with why as its tip.
    QTest::keyClicks(ui.fldGlimrow[2], "G^2");
    QTest::keyClick(ui.fldGlimrow[2], Qt::Key_Return);
    EXPECT_EQ(ui.fldGlimrow[2]->styleSheet(), "color: red");
    EXPECT_TRUE(ui.fldGlimrow[2]->toolTip().startsWith("not a formula in G"));

    // The Flight Data tab, clicked, is filled at once: the stream's words bit by bit.
    w.show();
    QTabBar* tabs = ui.tabGlimrow->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {},
                      tabs->tabRect(ui.tabGlimrow->indexOf(ui.flightData)).center());
    ASSERT_EQ(ui.flightData->bits()->rowCount(), 96);
    EXPECT_EQ(ui.flightData->values()->item(1, 0)->text(), "LightBits");

    // The dashboard on the network: the Messages tab shows its address, token and all, as a
    // QR code a phone's camera reads.
    {
        Dashboard dashboard(cockpit, w.state());
        ASSERT_TRUE(dashboard.start(WebListen{QHostAddress::AnyIPv4, 0}, QString(32, u'a')));
        EXPECT_TRUE(ui.lblDashboardAddress->text().endsWith(dashboard.pageUrl()));
        QTemporaryDir folder;
        ASSERT_TRUE(ui.lblDashboardQrCode->pixmap().save(folder.filePath("code.png")));
        EXPECT_EQ(test::readQrCode(folder.filePath("code.png")), dashboard.pageUrl());
    }

    // File > Reload Configuration shows the file's new lines.
    writeConfig(kTextSections + QByteArray("[PLED64-2]\r\n7,New lamp,1,1\r\n"));
    ui.mnuReload->trigger();
    EXPECT_EQ(grid(1).text(1, 1), "New lamp");
    EXPECT_EQ(ui.mnuReload->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));

    QSignalSpy ended(&cockpit, &Cockpit::ended);
    ui.mnuExit->trigger();
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(cockpit.tmrGlimrow().isActive());
}

TEST_F(Window, TheRealPollingTimerRunsTheCycleWhileTheServerIsActiveAndTcpIpShowsBold)
{
    QTcpServer stream;
    ASSERT_TRUE(stream.listen(QHostAddress::LocalHost));
    start("[TCPIP-IP]\r\n127.0.0.1\r\n[TCPIP-PORT]\r\n" + QByteArray::number(stream.serverPort()) +
          "\r\n[COMPREF]\r\nTCP\r\n" + kTextSections);
    frmGlimrow& w = *m_window;
    // "TCP/IP" is bold, as drawn, while the stream's connection is up (the watchdog says so).
    QRadioButton* tcp = w.ui().optConnectType[0];
    const auto shownBold = [tcp] { return QFontInfo(tcp->font()).bold(); };
    EXPECT_FALSE(shownBold());
    ASSERT_TRUE(waitFor([&] { return w.cockpit().connection().socketState() == 7; }));
    w.cockpit().connection().tmrVantorA_Timer();
    w.show();
    EXPECT_TRUE(shownBold());
    EXPECT_EQ(QFontInfo(tcp->font()).family(),
              QFontInfo(w.ui().optConnectType[1]->font()).family());
    // A light bit the stream sets stands out on the Flight Data tab, not only by its word.
    QTcpSocket* server = stream.nextPendingConnection();
    server->write(test::streamFrame({{StreamDecoder::kLightBitsField, "1"}}) + "\r\n");
    ASSERT_TRUE(waitFor([&] { return w.cockpit().cache().LightBits == 1; }));
    QTabBar* tabs = w.ui().tabGlimrow->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {},
                      tabs->tabRect(w.ui().tabGlimrow->indexOf(w.ui().flightData)).center());
    const QTableWidget* bits = w.ui().flightData->bits();
    EXPECT_TRUE(bits->item(0, 4)->font().bold());
    EXPECT_NE(bits->item(0, 4)->background(), bits->item(1, 4)->background());
    stream.close();
    delete server;
    ASSERT_TRUE(waitFor([&] { return w.cockpit().connection().socketState() != 7; }));
    w.cockpit().connection().tmrVantorA_Timer();
    EXPECT_FALSE(shownBold());

    w.cockpit().cache().VantorAy = true;
    w.ui().sldGlimrow[1]->setValue(1);
    ASSERT_TRUE(w.cockpit().tmrGlimrow().isActive());
    EXPECT_TRUE(waitFor([&] { return w.cockpit().updateCycle().cyclesRun() >= 3; }));
    w.close(); // closing the window is one of the ways out
    EXPECT_TRUE(w.cockpit().isEnded());
}

TEST(WindowPlacement, BesideWhenThereIsRoomElseBelowElseUnderTheTabRow)
{
    const QRect screen(0, 0, 1600, 900);
    const QSize size(600, 500);
    // The main window at the screen's right edge: to its left, whole on the screen.
    EXPECT_EQ(placeBeside(QRect(850, 60, 750, 480), 110, size, screen), QPoint(242, 60));
    EXPECT_EQ(placeBeside(QRect(0, 60, 750, 480), 110, size, screen), QPoint(758, 60));
    EXPECT_EQ(placeBeside(QRect(100, 60, 1400, 300), 110, size, screen), QPoint(100, 368));
    // No room anywhere: over the main window, its tab row left in sight.
    EXPECT_EQ(placeBeside(QRect(100, 60, 1400, 700), 110, size, screen), QPoint(100, 118));
}
