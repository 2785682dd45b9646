#include "app/Twips.h"
#include "app/frmGlimrow.h"

#include "support/QtPrinters.h"
#include "support/RecordingMessages.h"
#include "support/Waiting.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace glimrow;
using glimrow::test::waitFor;

namespace {

QByteArray lampLines(int count)
{
    QByteArray lines;
    for (int i = 0; i < count; ++i)
        lines += QByteArray::number(i) + ",Lamp " + QByteArray::number(i) + ",1,1\r\n";
    return lines;
}

// A window started from a configuration in a scratch folder.
class Window : public ::testing::Test {
protected:
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
    test::RecordingMessages m_messages;
    std::unique_ptr<frmGlimrow> m_window;
};

const QByteArray kTextSections = "[PTLED-1]\r\n0,Fuel flow,FUELFLOW,     0\r\n[PTLED-2]\r\n"
                                 "[PTLCD-1]\r\n1,Fault line 1,PFD,PFL\r\n2,Fault line 2,PFD,\r\n"
                                 "[PTLCD-2]\r\n[SKITS]\r\n0,Airspeed,KIAS,0\r\n"
                                 "[EPICAnalogs]\r\n7,Engine,rpm,\r\n12,Fuel total,TOTAL,x\r\n";

} // namespace

TEST_F(Window, GridsListEveryConfiguredLineWithTheirHeaders)
{
    start("[PLED64-1]\r\n" + lampLines(12) + "[P01616-1]\r\n" + kTextSections);

    EXPECT_EQ(grid(0).rowCount(), 13);
    EXPECT_EQ(grid(0).columnCount(), 3);
    EXPECT_EQ(grid(0).text(0, 0), "Port");
    EXPECT_EQ(grid(0).text(0, 1), "Description");
    EXPECT_EQ(grid(0).text(12, 0), "11");
    EXPECT_EQ(grid(0).text(12, 1), "Lamp 11");
    EXPECT_EQ(grid(0).text(12, 2), "");
    EXPECT_EQ(table(0)->columnWidth(1), twipsToPixels(3200));

    // A missing lamp section keeps the design size; an empty one has the header only.
    EXPECT_EQ(grid(1).rowCount(), 65);
    EXPECT_EQ(grid(1).text(0, 1), "Description");
    EXPECT_EQ(grid(5).rowCount(), 16);
    EXPECT_EQ(grid(2).rowCount(), 1);

    // TextLCD: line number, label and variable; the Value column waits for the outputs.
    EXPECT_EQ(grid(6).rowCount(), 3);
    const QStringList lcdHeaders{"Ln", "Label", "Var", "Value"};
    for (int column = 0; column < 4; ++column)
        EXPECT_EQ(grid(6).text(0, column), lcdHeaders[column]);
    EXPECT_EQ(grid(6).text(2, 0), "2");
    EXPECT_EQ(grid(6).text(2, 1), "Fault line 2");
    EXPECT_EQ(grid(6).text(2, 2), "PFD");
    EXPECT_EQ(grid(6).text(1, 3), "");
    EXPECT_TRUE(table(6)->item(0, 3)->textAlignment() & Qt::AlignRight);

    // EPIC: pigeonhole, description and variable as written; the fourth field is not shown.
    EXPECT_EQ(grid(10).rowCount(), 3);
    EXPECT_EQ(grid(10).text(0, 0), "PH#");
    EXPECT_EQ(grid(10).text(1, 2), "rpm");
    EXPECT_EQ(grid(10).text(2, 0), "12");
    EXPECT_EQ(grid(10).text(2, 3), "");
    EXPECT_TRUE(table(10)->item(1, 0)->textAlignment() & Qt::AlignHCenter);

    EXPECT_EQ(grid(8).rowCount(), 21);
    EXPECT_EQ(grid(8).text(20, 0), "20");
    EXPECT_EQ(grid(4).text(0, 3), "Serial#");

    // The user cannot bring up the MFD and HUD tabs.
    EXPECT_FALSE(m_window->ui().tabGlimrow->isTabEnabled(6));
    EXPECT_FALSE(m_window->ui().tabGlimrow->isTabEnabled(7));
    EXPECT_TRUE(m_window->ui().tabGlimrow->isTabEnabled(8));
}

TEST_F(Window, GridWritesOutsideTheGridFailAndRepeatedTextCostsNoRepaint)
{
    start(kTextSections);
    OutputGrid& gauges = grid(7);
    EXPECT_THROW(gauges.setText(2, 3, "250"), GridError);
    EXPECT_THROW(gauges.setText(1, 4, "250"), GridError);

    QSignalSpy changes(table(7)->model(), &QAbstractItemModel::dataChanged);
    gauges.setText(1, 3, "250");
    EXPECT_GE(changes.count(), 1);
    changes.clear();
    gauges.setText(1, 3, "250");
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(gauges.text(1, 3), "250");
    EXPECT_TRUE(table(7)->item(1, 3)->textAlignment() & Qt::AlignRight); // a number

    gauges.setCellColour(1, 1, CellColour::Red);
    EXPECT_EQ(table(7)->item(1, 1)->background().color(), QColor(230, 0, 0));
}

TEST_F(Window, ResizingMovesOnlyTheTallGridsAndNeverBelowZero)
{
    start("[PLED64-1]\r\n" + lampLines(3) + kTextSections);
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
          "[NOSCREENUPDATE]\r\ntrue\r\n" +
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
    ui.sldGlimrow[0]->setValue(40); // below the range
    EXPECT_EQ(cockpit.lampBrightness(), 50);
    EXPECT_EQ(ui.lblTimerValue->text(), "100");
    ui.sldGlimrow[1]->setValue(250);
    EXPECT_EQ(cockpit.tmrGlimrow().interval(), 250);
    EXPECT_EQ(ui.lblTimerValue->text(), "250");

    ui.optConnectType[1]->click(); // DCOM: the server fields are of no use
    EXPECT_FALSE(ui.fldGlimrow[0]->isEnabled());
    ui.btnOpenEpic->click(); // no card in these tests: the user is told, the list says so
    EXPECT_EQ(m_messages.texts, QStringList({"Epic Not Detected"}));
    EXPECT_EQ(grid(4).text(1, 1), "EPIC USB");

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

TEST_F(Window, TheRealPollingTimerRunsTheCycleWhileTheServerIsActive)
{
    start(kTextSections);
    frmGlimrow& w = *m_window;
    w.cockpit().cache().VantorAy = true;
    w.ui().sldGlimrow[1]->setValue(1);
    ASSERT_TRUE(w.cockpit().tmrGlimrow().isActive());
    EXPECT_TRUE(waitFor([&] { return w.cockpit().updateCycle().cyclesRun() >= 3; }));
    w.close(); // closing the window is one of the ways out
    EXPECT_TRUE(w.cockpit().isEnded());
}
