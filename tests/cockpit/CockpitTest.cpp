// The cockpit core without a window, over the real parts: which step runs when, which board
// each section drives, start-up and its refusals, reloading, the lamp test and shutdown, and
// the faults a real cockpit meets.

#include "support/CockpitFixture.h"
#include "support/QtPrinters.h"
#include "support/StreamFrames.h"
#include "support/VirtualEpicCard.h"
#include "support/Waiting.h"

#include "cockpit/InstanceLock.h"
#include "data/StreamDecoder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

using namespace glimrow;
using namespace glimrow::test;

namespace {

// Each board section drives one line that no other section drives.
const QByteArray kEverySection = "[PLED64-1]\r\n0,Master caution,1,1\r\n"
                                 "[PLED64-2]\r\n1,Engine fire,1,1\r\n"
                                 "[P01616-1]\r\n2,Gear,1,1\r\n"
                                 "[P01616-2]\r\n3,Hook,1,1\r\n"
                                 "[PTLED-1]\r\n0,Fuel flow,FUELFLOW,     0\r\n"
                                 "[PTLED-2]\r\n1,Totalizer,TOTALIZER,     0\r\n"
                                 "[PTLCD-1]\r\n0,Countermeasures,CMDS,\r\n1,Flares,CMDS,\r\n"
                                 "[PTLCD-2]\r\n0,Second,TEXT,Second LCD\r\n"
                                 "[SKITS]\r\n0,Airspeed,KIAS,0\r\n"
                                 "[EPICAnalogs]\r\n12,Fuel total,TOTAL,\r\n"
                                 "20,Reserve,INTRESFUEL,\r\n";

using CockpitTest = CockpitFixture;

} // namespace

TEST_F(CockpitTest, EachSectionDrivesItsOwnBoardWithValuesComputedInTheSameCycle)
{
    using F = FlightDataField;
    for (auto [field, value] : {std::pair{F::LightBits, 1.0},
                                {F::FuelFlow, 1234.0},
                                {F::InternalFuel, 5000.0},
                                {F::ExternalFuel, 1000.0},
                                {F::ChaffCount, 30.0},
                                {F::KIAS, 250.4},
                                {F::GS, 2.5}})
        set(field, value);
    start(kEverySection);
    ASSERT_TRUE(m_view.isDcomSelected()); // no COMPREF: the flight-data object
    // (On a slow machine the polling timer may have run a cycle of its own already.)
    const int fillsBefore = m_data->fills;
    m_cockpit->tmrGlimrow_Timer();

    EXPECT_EQ(m_data->fills, fillsBefore + 1);
    // Each lamp on its own board only.
    EXPECT_EQ(std::pair(board(10001).leds[0], board(10001).leds[1]), std::pair(75, 0));
    EXPECT_EQ(std::pair(board(10002).leds[0], board(10002).leds[1]), std::pair(0, 75));
    EXPECT_EQ(std::pair(board(20001).outputs[2], board(20001).outputs[3]), std::pair(true, false));
    EXPECT_EQ(std::pair(board(20002).outputs[2], board(20002).outputs[3]), std::pair(false, true));
    // Texts built from this cycle's data reach their boards in the same cycle.
    EXPECT_EQ(board(40001).rows[0], "  1234");
    EXPECT_EQ(board(40002).rows[1], "  6000");
    EXPECT_EQ(board(40002).rows[0], "");
    EXPECT_EQ(board(30001).rows[0], "            CHAFF:30");
    EXPECT_EQ(board(30002).rows[0], "Second LCD");
    EXPECT_EQ(board(50001).motors[0], 2.5);
    EXPECT_EQ(grid(CockpitGrid::SKITS).text(1, 3), "250");
    EXPECT_EQ(grid(CockpitGrid::PLED64_2).text(1, 2), "*");
    EXPECT_EQ(grid(CockpitGrid::PTLCD_2).text(1, 3), "Second LCD");
    EXPECT_EQ(label(CockpitLabel::GForce), "2.500");
    EXPECT_TRUE(m_view.messages.isEmpty());
    m_cockpit->ShutdownProgram(); // closes and releases the flight-data object
    EXPECT_EQ(m_cockpit->connection().flightDataObject(), nullptr);
}

TEST_F(CockpitTest, ValuesTheDataNoLongerDrivesAreMarkedAsLastSeen)
{
    Cockpit& cockpit = start(kEverySection); // DCOM: everything live
    tick();
    EXPECT_EQ(grid(CockpitGrid::PTLED_1).stale.at(3), "");
    EXPECT_EQ(m_view.memoryLabel(CockpitLabel::GForce).stale, "");

    cockpit.ChooseConnectType(0); // the stream carries the lamps only
    tick();
    EXPECT_EQ(grid(CockpitGrid::PLED64_1).stale.at(2), "");
    for (CockpitGrid values :
         {CockpitGrid::PTLED_1, CockpitGrid::PTLCD_2, CockpitGrid::SKITS, CockpitGrid::EPICAnalogs})
        EXPECT_EQ(grid(values).stale.at(3), "last seen: not in the TCP/IP stream");
    EXPECT_EQ(m_view.memoryLabel(CockpitLabel::DED).stale, "last seen: not in the TCP/IP stream");

    cockpit.cache().VantorAy = false; // the server goes quiet: nothing is live
    cockpit.tmrGlimrow_Timer();
    EXPECT_EQ(grid(CockpitGrid::PLED64_1).stale.at(2), "last seen: the data server is inactive");
    EXPECT_EQ(grid(CockpitGrid::SKITS).stale.at(3), "last seen: the data server is inactive");
}

TEST_F(CockpitTest, EpicStepRunsForAnOpenCardOrWhenAskedWithoutOne)
{
    set(FlightDataField::InternalFuel, 5000.0);
    set(FlightDataField::ExternalFuel, 1000.0);
    Cockpit& cockpit = start(kEverySection);
    const MemoryGrid& epic = grid(CockpitGrid::EPICAnalogs);
    tick();
    EXPECT_EQ(epic.text(1, 3), "");

    cockpit.setUpdateEpicAnyway(true); // values shown, nothing sent without a card
    tick();
    EXPECT_EQ(epic.text(1, 3), "6000");
    EXPECT_FALSE(writtenPigeonhole(12));

    cockpit.setUpdateEpicAnyway(false);
    cockpit.OpenEpicCard();
    ASSERT_TRUE(cockpit.mbEpicOpen());
    set(FlightDataField::InternalFuel, 6000.0);
    tick();
    EXPECT_EQ(epic.text(1, 3), "7000");
    EXPECT_EQ(pigeonholeBytes(12)[0], 70);
    // The reserve's pigeonhole, named on a later line, is right from the first pass.
    EXPECT_EQ(pigeonholeBytes(20)[0], 9);

    cockpit.CloseEpicCard();
    EXPECT_FALSE(cockpit.mbEpicOpen());
    EXPECT_TRUE(m_view.messages.isEmpty());

    // Without a window the file opens the card at start, and the pigeonholes fill.
    cockpit.ShutdownProgram();
    Cockpit& headless = start("[OPEN-EPIC-AT-START]\r\ntrue\r\n" + kEverySection);
    EXPECT_TRUE(headless.mbEpicOpen());
    set(FlightDataField::InternalFuel, 7000.0);
    tick();
    EXPECT_EQ(pigeonholeBytes(12)[0], 80);
}

TEST_F(CockpitTest, OneOutputUnderTestIsLitAndLeftAloneWhileTheOthersFollowTheData)
{
    Cockpit& cockpit = start(kEverySection);
    cockpit.OpenEpicCard();
    ASSERT_TRUE(cockpit.TestOutput(CockpitGrid::PLED64_1, 0));
    tick(); // its bit is clear, but the lamp under test stays lit
    EXPECT_EQ(board(10001).leds[0], 75);
    EXPECT_EQ(grid(CockpitGrid::PLED64_1).colour(1, 0), CellColour::Yellow);
    set(FlightDataField::LightBits, 1);
    tick();
    EXPECT_EQ(board(10002).leds[1], 75); // the others follow the data
    set(FlightDataField::LightBits, 0);
    cockpit.EndOutputTest();
    EXPECT_EQ(board(10001).leds[0], 0);
    EXPECT_EQ(grid(CockpitGrid::PLED64_1).colour(1, 0), CellColour::Normal);
    set(FlightDataField::LightBits, 1);
    tick(); // the data's again
    EXPECT_EQ(board(10001).leds[0], 75);

    // Each kind of output; a test of another line ends the one before.
    ASSERT_TRUE(cockpit.TestOutput(CockpitGrid::P01616_1, 0));
    set(FlightDataField::LightBits, 0);
    tick();
    EXPECT_TRUE(board(20001).outputs[2]);
    cockpit.TestOutput(CockpitGrid::PTLED_2, 0);
    EXPECT_FALSE(board(20001).outputs[2]);
    EXPECT_EQ(board(40002).rows[1], "8888");
    cockpit.TestOutput(CockpitGrid::PTLCD_2, 0);
    EXPECT_EQ(board(30002).rows[0], "Second");
    cockpit.TestOutput(CockpitGrid::EPICAnalogs, 0);
    tick();
    EXPECT_EQ(pigeonholeBytes(12)[0], 255);
    EXPECT_FALSE(cockpit.TestOutput(CockpitGrid::SKITS, 0));    // gauges drive no output
    EXPECT_FALSE(cockpit.TestOutput(CockpitGrid::PLED64_1, 5)); // no such line
    EXPECT_FALSE(cockpit.outputUnderTest());
}

TEST_F(CockpitTest, StartUpRefusesWhatItCannotUseAndSaysWhereAndWhy)
{
    int exitCode = 0;
    const auto refusal = [this, &exitCode] {
        HeadlessView view;
        Cockpit cockpit(view, settings());
        EXPECT_FALSE(cockpit.Start());
        EXPECT_TRUE(cockpit.isEnded());
        exitCode = cockpit.exitCode();
        EXPECT_NE(exitCode, 0);
        EXPECT_FALSE(cockpit.tmrGlimrow().isActive());
        EXPECT_EQ(view.messages.size(), 1);
        return view.messages.value(0);
    };
    const QString file = m_dir.filePath("Glimrow.cfg");
    EXPECT_EQ(refusal(), "Missing Config: Glimrow.cfg File Is Missing - Program will Terminate\n"
                         "Looked for it in " +
                             m_dir.path());

    const struct {
        QByteArray config;
        const char* says;
    } formatErrors[] = {
        {"[TCPIP-IP]\r\n10.0.0.5\r\n\r\n[SKITS]\r\n",
         ", line 3: \"\": a blank line; blank lines are allowed only at the end of the file"},
        {" [SKITS]\r\n", ", line 1: \" [SKITS]\": blanks before the section name"},
        {"[SKITS\r\n", ", line 1: \"[SKITS\": no \"]\" after the section name"},
        {"[PTLED-1]\r\n[SKITS] ; gauges\r\n", ", line 2: \"[SKITS] ; gauges\": text after a "
                                              "section name; expected a line with only [NAME]"},
        {"[SKITS]\r\n0,a,KIAS,0\r\n/ more gauges\r\n1,b,ALT,0\r\n",
         ", line 4: \"1,b,ALT,0\": a line outside any section (the comment above ended"},
        {"[TCPIP-PORT]\r\n2727\r\n2728\r\n", ", line 3: \"2728\": a second value for [TCPIP-PORT]"},
    };
    for (const auto& error : formatErrors) {
        writeConfig(error.config);
        const QString said = refusal();
        EXPECT_TRUE(said.startsWith("Vantor Lumex Mon - ME: Your Glimrow.cfg file may be "
                                    "improperly formatted.  The first line must indicate"));
        EXPECT_TRUE(said.contains(file + error.says)) << said.toStdString();
    }

    QByteArray noGauges = kEverySection;
    noGauges.replace("[SKITS]\r\n0,Airspeed,KIAS,0\r\n", "");
    writeConfig(noGauges);
    EXPECT_EQ(refusal(), "Vantor Lumex-Mon Error: Section [SKITS] is missing from Glimrow.cfg");

    QLockFile firstCopy(m_dir.filePath("glimrow.lock"));
    ASSERT_TRUE(firstCopy.tryLock(0));
    // Said for a log, and with a status of its own, so that a service is not started again.
    EXPECT_EQ(refusal(),
              "Duplicate Execution: A Previous Instance of Vantor Lumex Mon - ME Is "
              "Running (it holds " +
                  firstCopy.fileName() + "); this one ends\nThe other copy is process " +
                  QString::number(QCoreApplication::applicationPid()) + " (" +
                  QCoreApplication::applicationName() +
                  "); if it is the service, \"systemctl --user stop glimrow\" stops it.");
    EXPECT_EQ(exitCode, Cockpit::kExitAnotherCopyRunning);
    firstCopy.unlock();

    // Only a regular file is read: a folder, a FIFO (which would block), a device (endless).
    for (int kind = 0; kind < 3; ++kind) {
        QFile::remove(file);
        QDir(m_dir.path()).rmdir("Glimrow.cfg");
        ASSERT_TRUE(kind == 0   ? QDir(m_dir.path()).mkdir("Glimrow.cfg")
                    : kind == 1 ? ::mkfifo(qPrintable(file), 0600) == 0
                                : QFile::link("/dev/zero", file));
        EXPECT_EQ(refusal(),
                  "Vantor Lumex-Mon Error: " + file + " cannot be read: it is not a regular file");
    }
    EXPECT_EQ(m_objectsMade, 0); // never a connection
}

TEST_F(CockpitTest, LinesThatCannotWorkAreWarnedAboutWithTheirLinesAndStartUpGoesOn)
{
    start(withRequiredSections("[PLED-64-1]\r\n"
                               "[PLED64-1]\r\n"
                               "99,Out of the board,1,1\r\n"
                               "5,Engine Fire32,1\r\n"
                               "6,Mask,one,1\r\n"
                               "[P01616-1]\r\n"
                               "17,Kit,1,1\r\n"
                               "[PTLED-1]\r\n"
                               "7,Fuel flow,FUELFLW,0\r\n"
                               "[skits]\r\n"
                               "[EPICAnalogs]\r\n"
                               "21,Nozzle 2,NOZZLE2,\r\n"));
    const std::pair<int, QString> expected[] = {
        {1, "unknown section [PLED-64-1], ignored; did you mean [PLED64-1]?"},
        {3, "output \"99\" is not on an LED-64 board (0 to 63)"},
        {4, "too few fields; expected output, description, bit mask, light-bit word"},
        {5, "the bit mask \"one\" is not a whole number"},
        {7, "output \"17\" is not on an interface kit (0 to 15)"},
        {9, "row \"7\" is not on a TextLED board (0 to 3)"},
        {9, "unknown TextLED keyword \"FUELFLW\"; the line keeps its own text; did you mean "
            "\"FUELFLOW\"?"},
        {10, "unknown section [skits], ignored; did you mean [SKITS]? Letter case counts"},
        {12, "did you mean \"NOZZLE\" or \"NOZZZLE2\"?"},
    };
    const ConfigProblems& problems = m_cockpit->configProblems();
    ASSERT_EQ(problems.size(), std::size(expected));
    for (std::size_t i = 0; i < problems.size(); ++i) {
        EXPECT_EQ(problems[i].line, expected[i].first);
        EXPECT_TRUE(problems[i].message.contains(expected[i].second))
            << problems[i].message.toStdString();
    }
    EXPECT_TRUE(m_view.messages.isEmpty()); // warnings open no box

    // UTF-8 with a byte-order mark and CR line ends, then Windows-1252: read as written.
    for (const QByteArray& description : {QByteArray("\xEF\xBB\xBF[PLED64-1]\r0,\xC3\x96ldruck "
                                                     "\xC2\xB0"
                                                     "C,1,1\r"),
                                          QByteArray("[PLED64-1]\r\n0,\xD6ldruck \xB0"
                                                     "C,1,1\r\n")}) {
        start(withRequiredSections(description));
        EXPECT_EQ(grid(CockpitGrid::PLED64_1).text(1, 1), QString::fromUtf8("Öldruck °C"));
        EXPECT_TRUE(m_cockpit->configProblems().empty());
    }
}

TEST_F(CockpitTest, CopiesWithLocksInOtherFoldersRunAndAnUnwritableLockFolderIsSaid)
{
    QLockFile otherUser(m_dir.filePath("other user/glimrow.lock"));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("other user") && otherUser.tryLock(0));
    start(kEverySection); // its own lock in m_dir: another user's copy does not stop it

    QFile(m_dir.filePath("a file")).open(QIODevice::WriteOnly);
    CockpitSettings unwritable = settings();
    unwritable.instanceLockPath = m_dir.filePath("a file/glimrow.lock");
    HeadlessView view;
    Cockpit second(view, unwritable);
    EXPECT_FALSE(second.Start());
    EXPECT_EQ(view.messages,
              QStringList("Vantor Lumex-Mon Error: Cannot create the lock file " +
                          unwritable.instanceLockPath + ": no such folder, or not writable"));

    // Without a runtime folder the lock goes in a folder under the temporary one, which others
    // can write to: it is made private, and one that others could steer is refused.
    const QString fallback = m_dir.filePath("glimrow-fallback");
    EXPECT_EQ(InstanceLock::privateFolderProblem(fallback), "");
    EXPECT_EQ(QFileInfo(fallback).permissions() & 0x0077, 0) << "open to others";
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("victim's .ssh"));
    ASSERT_TRUE(QFile::link(m_dir.filePath("victim's .ssh"), m_dir.filePath("planted link")));
    EXPECT_TRUE(InstanceLock::privateFolderProblem(m_dir.filePath("planted link"))
                    .contains("is a symbolic link"));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("open to all"));
    ::chmod(QFile::encodeName(m_dir.filePath("open to all")).constData(), 0777);
    EXPECT_TRUE(InstanceLock::privateFolderProblem(m_dir.filePath("open to all"))
                    .contains("can be opened by other users"));
    if (::getuid() == 0) { // only root can give a folder to another user
        ASSERT_TRUE(QDir(m_dir.path()).mkdir("another's"));
        ASSERT_EQ(::chown(QFile::encodeName(m_dir.filePath("another's")).constData(), 65534, 65534),
                  0);
        EXPECT_TRUE(InstanceLock::privateFolderProblem(m_dir.filePath("another's"))
                        .contains("belongs to another user"));
    }
    ASSERT_TRUE(
        QFile::link(m_dir.filePath("victim's .ssh/authorized_keys"), fallback + "/glimrow.lock"));
    InstanceLock steered(fallback + "/glimrow.lock");
    QString why;
    EXPECT_EQ(steered.tryLock(&why), InstanceLock::Outcome::Failed);
    EXPECT_TRUE(why.contains("symbolic link")) << why.toStdString();
    EXPECT_FALSE(QFile::exists(m_dir.filePath("victim's .ssh/authorized_keys")));
}

TEST_F(CockpitTest, ReloadAppliesChangedLinesAndABrokenFileKeepsTheRunningOnes)
{
    Cockpit& cockpit = start(tcpKeys() + kEverySection);
    cockpit.cache().LightBits = 1;
    tick();
    EXPECT_EQ(board(10001).leds[0], 75);

    // The lamp moves to LED 5 and follows bit 2; the TextLED and EPIC sections get a line each.
    QByteArray changed = kEverySection;
    changed.replace("0,Master caution,1,1", "5,Master caution,2,1");
    changed.replace("1,Totalizer,TOTALIZER,     0\r\n",
                    "1,Totalizer,TOTALIZER,     0\r\n2,Spare,NONE,  NEW\r\n");
    changed.replace("20,Reserve,INTRESFUEL,\r\n", "20,Reserve,INTRESFUEL,\r\n7,Engine,RPM,\r\n");
    writeConfig(tcpKeys() + changed);
    ASSERT_TRUE(cockpit.ReloadConfiguration());
    cockpit.cache().LightBits = 2;
    tick();
    EXPECT_EQ(board(10001).leds[0], 0); // no line drives it any more: not left lit
    EXPECT_EQ(board(10001).leds[5], 75);
    EXPECT_EQ(board(40002).rows[2], "  NEW");
    EXPECT_EQ(grid(CockpitGrid::EPICAnalogs).rowCount(), 4);
    EXPECT_EQ(grid(CockpitGrid::EPICAnalogs).text(3, 2), "RPM");
    EXPECT_EQ(grid(CockpitGrid::PLED64_1).text(1, 0), "5");

    ASSERT_EQ(m_view.shownProblems.size(), 2u);
    EXPECT_EQ(m_view.notices.back(), "Glimrow.cfg reloaded: 2 lines to look at (Messages tab)");

    // A file with mistakes: each is said, the box ends with what happens instead (not with
    // start-up's "rerun"), and the Messages show the file as it is now.
    writeConfig(tcpKeys() + "[PLED64-1]\r\n\r\n" + kEverySection + "/ end\r\nstray\r\n");
    EXPECT_FALSE(cockpit.ReloadConfiguration());
    ASSERT_EQ(m_view.messages.size(), 1);
    EXPECT_FALSE(m_view.messages[0].contains("rerun"));
    EXPECT_TRUE(m_view.messages[0].contains(", line 8: \"\": a blank line"));
    EXPECT_TRUE(m_view.messages[0].contains(": \"stray\": a line outside any section"));
    EXPECT_TRUE(m_view.messages[0].endsWith("The running configuration stays in use."));
    EXPECT_EQ(m_view.shownProblems.size(), 3u); // two errors and the TEXT warning
    tick();
    EXPECT_EQ(board(10001).leds[5], 75);
    EXPECT_EQ(board(40002).rows[2], "  NEW");

    // Rows are cleared by the rows the old lines named, on reload and on the lamp test's end.
    const QByteArray probe =
        QByteArray(kEverySection).replace("0,Fuel flow,FUELFLOW,     0", "3,Probe,FUELFLOW,ABCD");
    writeConfig(tcpKeys() + probe);
    ASSERT_TRUE(cockpit.ReloadConfiguration());
    tick();
    EXPECT_EQ(board(40001).rows[3], "ABCD");
    cockpit.setAllLampsOn(true);
    EXPECT_EQ(board(40001).rows, QStringList({"", "", "", "1234"}));
    cockpit.setAllLampsOn(false);
    EXPECT_EQ(board(40001).rows, QStringList({"", "", "", ""}));
    tick();
    writeConfig(tcpKeys() + QByteArray(probe).replace("3,Probe,FUELFLOW,ABCD\r\n", ""));
    ASSERT_TRUE(cockpit.ReloadConfiguration());
    tick();
    EXPECT_EQ(board(40001).rows, QStringList({"", "", "", ""}));
}

TEST_F(CockpitTest, AllLampsOnLightsEverythingUntilReleasedAndShutdownDarkensEverythingOnce)
{
    Cockpit& cockpit = start(tcpKeys() + kEverySection);
    cockpit.setAllLampsOn(true);
    EXPECT_EQ(board(10002).leds, std::vector<int>(64, 75));
    EXPECT_EQ(board(20001).outputs, std::vector<bool>(16, true));
    EXPECT_EQ(board(40002).rows, QStringList({"", "1234", "", ""})); // the rows the lines name
    EXPECT_EQ(board(30002).rows, QStringList({"TextLCD-2 1", "TextLCD-2 2"}));

    tick(); // while the lamp test is on, data does not reach the lamps
    EXPECT_EQ(board(10001).leds[0], 75);
    cockpit.setAllLampsOn(false);
    EXPECT_EQ(board(10001).leds, std::vector<int>(64, 0));
    EXPECT_EQ(board(30001).rows, QStringList({"", ""}));
    EXPECT_TRUE(board(30001).backlight); // only shutdown switches the dimmers
    cockpit.cache().LightBits = 1;
    tick(); // the next tick repaints from the data
    EXPECT_EQ(board(10001).leds[0], 75);

    // Shutdown darkens everything, once; a failing board is skipped call by call.
    cockpit.setAllLampsOn(true);
    m_hardware.setFailing(20001, true);
    QSignalSpy ended(&cockpit, &Cockpit::ended);
    cockpit.ShutdownProgram();
    cockpit.ShutdownProgram(); // a second way out finds everything done
    EXPECT_EQ(ended.count(), 1);
    EXPECT_EQ(board(10002).leds, std::vector<int>(64, 0));
    EXPECT_EQ(board(20002).outputs, std::vector<bool>(16, false));
    EXPECT_FALSE(board(30001).backlight);
    EXPECT_EQ(board(40002).brightness, 0);
    EXPECT_EQ(board(40002).rows[0], "");
    EXPECT_FALSE(cockpit.devices().pRavazLED(1)); // slots released
    EXPECT_FALSE(cockpit.tmrGlimrow().isActive());
}

TEST_F(CockpitTest, AStopWhileStartUpLetsEventsRunEndsTheProgramWhenItIsOver)
{
    // A signal or the end of --run-for: taken inside start-up, the request to end was lost.
    writeConfig(kEverySection);
    auto starting = std::make_unique<Cockpit>(m_view, settings());
    QSignalSpy ended(starting.get(), &Cockpit::ended);
    QTimer::singleShot(0, starting.get(), [&] { starting->ShutdownProgram(); });
    EXPECT_FALSE(starting->Start());
    EXPECT_TRUE(starting->isEnded());
    EXPECT_EQ(starting->exitCode(), 0);
    EXPECT_EQ(ended.count(), 1);
    // Start-up did not go on after the shutdown: nothing it made is left open.
    EXPECT_EQ(starting->connection().flightDataObject(), nullptr);
}

TEST_F(CockpitTest, WhatArrivesWhileACycleLetsEventsRunWaitsForItsEnd)
{
    // "All Lamps On" clicked while a cycle lets events run: the rest of the cycle does not
    // undo it, every time.
    Cockpit& cockpit = start(tcpKeys() + kEverySection);
    cockpit.setPollingInterval(1);
    for (int click = 0; click < 10; ++click) {
        QTimer::singleShot(0, &cockpit, [&] { cockpit.setAllLampsOn(true); });
        tick();
        EXPECT_EQ(board(10001).leds, std::vector<int>(64, 75)) << "click " << click;
        EXPECT_EQ(board(20002).outputs, std::vector<bool>(16, true)) << "click " << click;
        cockpit.setAllLampsOn(false);
        tick();
    }

    // A reload asked for during a cycle waits for it: the cycle's steps never meet tables
    // half replaced.
    QStringList skipped;
    static QStringList* logged = nullptr;
    logged = &skipped;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
            if (text.contains("skipped"))
                *logged << text;
        });
    writeConfig(tcpKeys() + QByteArray(kEverySection).replace("1,Engine fire,1,1\r\n", ""));
    QTimer::singleShot(0, &cockpit, [&] { cockpit.ReloadConfiguration(); });
    tick();
    qInstallMessageHandler(previous);
    EXPECT_EQ(skipped, QStringList());
    EXPECT_EQ(grid(CockpitGrid::PLED64_2).rowCount(), 1);
}

TEST_F(CockpitTest, EveryActionAskedForDuringAPauseRunsOnceItEndsAndDecidesThen)
{
    Cockpit& cockpit = start(tcpKeys() + kEverySection);
    cockpit.setPollingInterval(1);
    const auto duringACycle = [&](const std::function<void()>& actions) {
        QTimer::singleShot(0, &cockpit, actions);
        tick();
    };

    // Two presses of Space on a line: the second sees what the first did.
    duringACycle([&] {
        cockpit.ToggleOutputTest(CockpitGrid::PLED64_1, 0);
        cockpit.ToggleOutputTest(CockpitGrid::PLED64_1, 0);
    });
    EXPECT_FALSE(cockpit.outputUnderTest());
    EXPECT_EQ(board(10001).leds[0], 0);

    // Several kinds of action: each one runs, in order, not only the newest.
    writeConfig(tcpKeys() + QByteArray(kEverySection).replace("1,Engine fire,1,1\r\n", ""));
    duringACycle([&] {
        cockpit.ReloadConfiguration();
        cockpit.TestOutput(CockpitGrid::PLED64_1, 0);
        cockpit.setAllLampsOn(true);
    });
    EXPECT_EQ(grid(CockpitGrid::PLED64_2).rowCount(), 1);
    EXPECT_TRUE(cockpit.outputUnderTest());
    EXPECT_EQ(board(20002).outputs, std::vector<bool>(16, true));
    cockpit.setAllLampsOn(false);
    cockpit.EndOutputTest();

    // A flood of reloads is one reload of the newest file, taken without going deeper for
    // each (ten thousand nested calls overflowed the stack).
    QByteArray newest = tcpKeys() + kEverySection;
    newest.replace("Master caution", "Master caution newest");
    duringACycle([&] {
        for (int reload = 0; reload < 10000; ++reload) {
            if (reload == 9999)
                writeConfig(newest);
            cockpit.ReloadConfiguration();
        }
    });
    EXPECT_EQ(grid(CockpitGrid::PLED64_1).text(1, 1), "Master caution newest");
    EXPECT_EQ(grid(CockpitGrid::PLED64_2).rowCount(), 2);
}

TEST_F(CockpitTest, ABoardThatFailsOrIsUnpluggedMidCycleEndsOnlyItsOwnProcedure)
{
    set(FlightDataField::LightBits, 1);
    start(kEverySection);
    m_hardware.setFailing(10001, true);
    m_hardware.detach(20001);
    QCoreApplication::processEvents();
    tick();
    EXPECT_EQ(board(10001).leds[0], 0);                     // failing: its procedure ended
    EXPECT_EQ(board(10002).leds[1], 75);                    // the next board still served
    EXPECT_EQ(grid(CockpitGrid::P01616_1).text(1, 2), "*"); // unplugged: grid refreshed
    EXPECT_EQ(grid(CockpitGrid::Devices).colour(3, 1), CellColour::Red);

    m_hardware.setFailing(10001, false);
    m_hardware.attach(20001);
    QCoreApplication::processEvents();
    tick();
    EXPECT_EQ(board(10001).leds[0], 75);
    EXPECT_TRUE(board(20001).outputs[2]);
}

TEST_F(CockpitTest, AServerWhoseRefreshFailsStaysInactiveUntilOneSucceeds)
{
    // Its refresh (GetAll) fails while VantorAy reads true: one change to inactive, not a
    // status that flaps with every tick.
    Cockpit& cockpit = start(kEverySection);
    QStringList states{m_view.serverState()};
    const auto seeTicks = [&](int rounds) {
        for (int round = 0; round < rounds; ++round) {
            cockpit.tmrGlimrow_Timer();
            cockpit.connection().tmrVantorA_Timer();
            if (states.last() != m_view.serverState())
                states << m_view.serverState();
        }
    };
    m_data->failFill = true;
    seeTicks(6);
    EXPECT_EQ(states, QStringList({"Vantor-A", "Vantor Inactive"}));
    m_data->failFill = false;
    set(FlightDataField::LightBits, 1);
    seeTicks(2);
    EXPECT_EQ(states, QStringList({"Vantor-A", "Vantor Inactive", "Vantor-A"}));
    EXPECT_EQ(board(10001).leds[0], 75);
}

TEST_F(CockpitTest, DataServerAnswersWithWrongTypesAndThenGoesQuiet)
{
    set(FlightDataField::LightBits, 1);
    set(FlightDataField::FuelFlow, QStringLiteral("not a number")); // wrong type
    m_values.remove(FlightDataField::InternalFuel);                 // missing
    set(FlightDataField::DEDLines, QString(1024 * 1024, u'A'));     // 1 MB
    set(FlightDataField::GS, 2.5);
    Cockpit& cockpit = start(kEverySection);
    ASSERT_EQ(m_view.serverState(), "Vantor-A");
    cockpit.tmrGlimrow_Timer();
    EXPECT_EQ(board(10001).leds[0], 75);       // lamps served
    EXPECT_EQ(board(50001).motors[0], 2.5);    // G-suit served
    EXPECT_EQ(board(40001).rows[0], "     0"); // fuel flow skipped: the file's text
    EXPECT_EQ(label(CockpitLabel::DED).count(u'\r'), 5);

    // The server says it is inactive: once the watchdog has seen it, the cycle no longer runs.
    set(FlightDataField::VantorAy, false);
    cockpit.connection().tmrVantorA_Timer();
    EXPECT_EQ(m_view.serverState(), "Vantor Inactive");
    const int writes = board(10001).writes;
    cockpit.tmrGlimrow_Timer();
    EXPECT_EQ(board(10001).writes, writes);
}

TEST_F(CockpitTest, AFrameThatChangesTheLampsReachesThemWithoutWaitingForATick)
{
    Cockpit& cockpit = start(tcpKeys() + kEverySection);
    cockpit.setPollingInterval(100000); // only the test's ticks
    ASSERT_TRUE(waitFor([this] { return m_stream.hasPendingConnections(); }));
    QTcpSocket* server = m_stream.nextPendingConnection();
    const auto send = [server](const QByteArray& bytes) {
        server->write(bytes);
        ASSERT_TRUE(server->waitForBytesWritten(5000));
    };
    const auto frame = [](int lightBits) {
        return streamFrame({{StreamDecoder::kLightBitsField, QByteArray::number(lightBits)}});
    };
    const auto masterCaution = [this] { return board(10001).leds[0]; };
    // Until a frame has been read and any cycle it brought forward has run.
    QSignalSpy decoded(&cockpit.connection(), &ConnectionManager::frameDecoded);
    const auto settle = [&] {
        ASSERT_TRUE(waitFor([&] { return !decoded.isEmpty(); }));
        decoded.clear();
        ASSERT_TRUE(waitFor([&] { return !cockpit.arrivals().isWaiting(); }));
    };

    send(frame(1));
    ASSERT_TRUE(waitFor([&] { return masterCaution() == 75; }));
    // A burst in one write: a few cycles at most, ending on the last frame's lamps.
    QByteArray burst;
    for (int n = 1; n <= 100; ++n)
        burst += frame(n % 2 == 0 ? 1 : 0) + "\r\n";
    const long cyclesBefore = cockpit.updateCycle().cyclesRun();
    send(burst + frame(0));
    ASSERT_TRUE(waitFor([&] { return masterCaution() == 0; }));
    settle();
    EXPECT_LE(cockpit.updateCycle().cyclesRun() - cyclesBefore, 3);
    EXPECT_EQ(masterCaution(), 0);
    // A frame that changes nothing starts no cycle.
    const long cyclesUnchanged = cockpit.updateCycle().cyclesRun();
    send(frame(0));
    settle();
    EXPECT_EQ(cockpit.updateCycle().cyclesRun(), cyclesUnchanged);

    // While "All Lamps On" is set, a frame changes nothing; after its release the next tick
    // shows the data.
    cockpit.setAllLampsOn(true);
    send(frame(1));
    settle();
    EXPECT_EQ(board(10002).leds, std::vector<int>(64, 75));
    cockpit.setAllLampsOn(false);
    EXPECT_EQ(masterCaution(), 0);
    tick();
    EXPECT_EQ(masterCaution(), 75);

    // A frame read while a reload lets events run changes nothing either; the reloaded file
    // turns the setting off, and from then on only ticks move the lamps.
    writeConfig(tcpKeys() + "[UPDATE-ON-ARRIVAL]\r\nfalse\r\n" + kEverySection);
    send(frame(0));
    ASSERT_TRUE(cockpit.ReloadConfiguration());
    settle();
    EXPECT_FALSE(cockpit.updatesOnArrival());
    EXPECT_EQ(masterCaution(), 75);
    tick();
    EXPECT_EQ(masterCaution(), 0);
    send(frame(1));
    settle();
    EXPECT_EQ(masterCaution(), 0);
    tick();
    EXPECT_EQ(masterCaution(), 75);
}

TEST(HeadlessView, SaysWhatTheOutputsDoAtMostOnceASecondWithTheChangesCounted)
{
    // The log is standard error: caught in a file for the length of the test.
    QTemporaryFile log;
    ASSERT_TRUE(log.open());
    const auto said = [&log] {
        QFile file(log.fileName());
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().split('\n')
                                              : QByteArrayList();
    };
    const int kept = ::dup(STDERR_FILENO);
    ::dup2(log.handle(), STDERR_FILENO);
    HeadlessView view;
    for (int toggle = 0; toggle < 1000; ++toggle)
        view.showActivity(toggle % 2 == 0 ? QStringLiteral("All Lamps On") : QString());
    view.showActivity(QStringLiteral("All Lamps On"));
    const bool secondSaid = waitFor([&] { return said().size() >= 2; }, 3000);
    ::dup2(kept, STDERR_FILENO);
    ::close(kept);
    ASSERT_TRUE(secondSaid) << said().join('\n').toStdString();
    const QByteArrayList lines = said();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "glimrow: All Lamps On");
    EXPECT_EQ(lines[1], "glimrow: All Lamps On (1000 changes in the last second)");
}
