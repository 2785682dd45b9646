#include "app/frmGlimrow.h"
#include "cockpit/ConfigFileParser.h"
#include "common/MessageReporter.h"

#include "support/QtPrinters.h"
#include "support/RecordingMessages.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLockFile>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace glimrow;

namespace {

class RecordingFlightData : public FlightDataObject {
public:
    explicit RecordingFlightData(int* closeCalls) : m_closeCalls(closeCalls) {}
    void FillFlightData() override {}
    void Close() override
    {
        ++*m_closeCalls;
        throw FlightDataError("server already gone"); // shutdown must not mind
    }
    QVariant property(FlightDataField) override { return {}; }

private:
    int* m_closeCalls;
};

const char* const kRequiredSections = "[PTLED-1]\r\n0,Fuel flow,FUELFLOW,     0\r\n"
                                      "[PTLED-2]\r\n[PTLCD-1]\r\n[PTLCD-2]\r\n"
                                      "[SKITS]\r\n1,Airspeed,KIAS,0\r\n"
                                      "[EPICAnalogs]\r\n12,Fuel total,TOTAL,\r\n";

class Startup : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    void writeConfig(const QByteArray& text)
    {
        QFile file(m_dir.filePath("Glimrow.cfg"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    StartupSettings settings()
    {
        StartupSettings settings;
        settings.configFilePath = m_dir.filePath("Glimrow.cfg");
        settings.instanceLockPath = m_dir.filePath("glimrow.lock");
        settings.flightDataFactory = [this] {
            ++m_objectsMade;
            return std::make_unique<RecordingFlightData>(&m_closeCalls);
        };
        return settings;
    }

    frmGlimrow& window()
    {
        if (!m_window)
            m_window = std::make_unique<frmGlimrow>(m_messages, settings());
        return *m_window;
    }

    // Start-up refused with one message of this title, and the program ended: its text.
    QString refusal(const char* title)
    {
        EXPECT_FALSE(window().Form_Load());
        EXPECT_EQ(m_messages.titles, QStringList({title}));
        EXPECT_TRUE(window().isEnded());
        EXPECT_NE(window().exitCode(), 0);
        return m_messages.texts.value(0);
    }

    QTemporaryDir m_dir;
    test::RecordingMessages m_messages;
    int m_objectsMade = 0;
    int m_closeCalls = 0;
    std::unique_ptr<frmGlimrow> m_window;
};

} // namespace

TEST_F(Startup, ValidConfigurationStartsTheWindowAndAppliesItsKeys)
{
    writeConfig(QByteArray("[TCPIP-IP]\r\n 10.0.0.5 \r\n[TCPIP-PORT]\r\n2727\r\n"
                           "[COMPREF]\r\nTCP\r\n[NOSCREENUPDATE]\r\ntrue\r\n"
                           "[UPDATEEPICANYWAY]\r\nTrue\r\n") +
                kRequiredSections);
    frmGlimrow& w = window();
    ASSERT_TRUE(w.Form_Load());
    EXPECT_TRUE(m_messages.texts.isEmpty());
    EXPECT_EQ(w.windowTitle(), "Vantor-Lumex Mon - ME Version 1.80");
    EXPECT_TRUE(
        w.ui().sbStatusBarPanel[0]->text().endsWith(QString::number(QDate::currentDate().year())));
    // The connection chosen while reading the file ran its watchdog tick.
    EXPECT_EQ(w.ui().sbStatusBarPanel[1]->text(), "Vantor Inactive");

    EXPECT_EQ(w.ui().fldGlimrow[0]->text(), " 10.0.0.5 ");
    EXPECT_EQ(w.ui().fldGlimrow[1]->text(), "2727");
    EXPECT_TRUE(w.ui().optConnectType[0]->isChecked());
    EXPECT_FALSE(w.ui().optConnectType[1]->isChecked());
    EXPECT_TRUE(w.ui().chkGlimrow[0]->isChecked());
    EXPECT_FALSE(w.mbScreenUpdate());
    EXPECT_TRUE(w.mbUpdateEpicAnyway());
    EXPECT_FALSE(w.mbEpicOpen());
    EXPECT_FALSE(w.cache().VantorAy);
    ASSERT_TRUE(w.tables().maEPICAnalogs);
    EXPECT_EQ(w.tables().maEPICAnalogs->field(2, 0), "TOTAL");
    EXPECT_FALSE(w.tables().maPLED64_1); // lamp sections may be left out
    EXPECT_TRUE(w.tmrGlimrow().isActive());
    EXPECT_FALSE(w.isEnded());
}

TEST_F(Startup, ShutdownStopsThePollingTimerAndClosesTheDataServerObject)
{
    writeConfig(kRequiredSections);
    frmGlimrow& w = window();
    ASSERT_TRUE(w.Form_Load());
    // Without a COMPREF section start-up chooses the flight-data object.
    EXPECT_TRUE(w.ui().optConnectType[1]->isChecked());
    ASSERT_EQ(m_objectsMade, 1);
    int& closeCalls = m_closeCalls;

    QSignalSpy ended(&w, &frmGlimrow::ended);
    w.show();
    w.close(); // closing the window is one of the ways into ShutdownProgram
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(ended.at(0).at(0).toInt(), 0);
    EXPECT_TRUE(w.isEnded());
    EXPECT_FALSE(w.tmrGlimrow().isActive());
    EXPECT_EQ(closeCalls, 1);
    EXPECT_EQ(w.connection().flightDataObject(), nullptr);
    EXPECT_EQ(w.exitCode(), 0);

    w.ShutdownProgram(); // a second way out finds everything already done
    EXPECT_EQ(closeCalls, 1);
    EXPECT_EQ(ended.count(), 1);
}

TEST_F(Startup, FileExitShutsDown)
{
    writeConfig(kRequiredSections);
    frmGlimrow& w = window();
    ASSERT_TRUE(w.Form_Load());
    w.ui().mnuExit->trigger();
    EXPECT_TRUE(w.isEnded());
    EXPECT_FALSE(w.tmrGlimrow().isActive());
}

TEST_F(Startup, SecondCopyIsRefusedBeforeReadingAnything)
{
    writeConfig(kRequiredSections);
    QLockFile firstCopy(m_dir.filePath("glimrow.lock"));
    ASSERT_TRUE(firstCopy.tryLock(0));

    EXPECT_EQ(refusal("Duplicate Execution"),
              "A Previous Instance of Vantor Lumex Mon - ME Is Running.  Please Press Ok");
    EXPECT_FALSE(window().tables().maSKITS);
    EXPECT_NE(window().windowTitle(), frmGlimrow::caption());
}

TEST_F(Startup, MissingConfigurationEndsTheProgram)
{
    EXPECT_EQ(refusal("Missing Config"), "Glimrow.cfg File Is Missing - Program will Terminate");
    EXPECT_EQ(m_objectsMade, 0); // never opens a connection
}

TEST_F(Startup, FormatErrorInTheMiddleOfTheFileEndsTheProgram)
{
    // The keys before the faulty line are already applied when the error is found.
    writeConfig(QByteArray("[TCPIP-IP]\r\n10.0.0.5\r\n[COMPREF]\r\nDCOM\r\n") + kRequiredSections +
                "/ comment\r\n5,stray line,RPM,\r\n");
    const QString text = refusal("Vantor Lumex Mon - ME");
    EXPECT_EQ(text, ConfigFileParser::formatErrorText());
    EXPECT_TRUE(text.startsWith(
        "Your Glimrow.cfg file may be improperly formatted.  The first line must indicate a "
        "parameter enclosed in square brackets.  Eg: [paramname]\rValid Parameters are:  "));
    frmGlimrow& w = window();
    EXPECT_EQ(w.ui().fldGlimrow[0]->text(), "10.0.0.5");
    // COMPREF chose the flight-data object while the file was being read.
    EXPECT_TRUE(w.ui().optConnectType[1]->isChecked());
    EXPECT_EQ(m_objectsMade, 1);
}

TEST_F(Startup, MissingRequiredSectionIsAStartupErrorNamingIt)
{
    QByteArray config(kRequiredSections);
    config.replace("[SKITS]\r\n1,Airspeed,KIAS,0\r\n", "");
    writeConfig(config);
    EXPECT_EQ(refusal("Vantor Lumex-Mon Error"), "Section [SKITS] is missing from Glimrow.cfg\r"
                                                 "Generated by: Form_Load\rSource: Glimrow(9)");
    // A start-up error goes through the shutdown procedure.
    EXPECT_FALSE(window().tmrGlimrow().isActive());
}

TEST_F(Startup, UnreadableConfigurationIsAStartupError)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("Glimrow.cfg"));
    const QString text = refusal("Vantor Lumex-Mon Error");
    EXPECT_TRUE(text.startsWith("Glimrow.cfg cannot be read"));
    EXPECT_TRUE(text.endsWith("\rGenerated by: Form_Load\rSource: Glimrow(75)"));
}
