// The whole system as a user runs it: vantor-sim serving, glimrow --headless --virtual-hardware
// on the example configuration with no display, both on a private session bus; checked from
// outside through org.glimrow.VirtualHardware and the data server's object.

#include "e2e/EndToEnd.h"
#include "support/PrivateBus.h"
#include "support/QrReader.h"
#include "support/QtPrinters.h"
#include "support/Waiting.h"

#include "cockpit/Cockpit.h"
#include "common/NumberText.h"
#include "data/DBusFlightData.h"
#include "phidget/virtual/VirtualHardwareService.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <vector>

#include <csignal>
#include <sys/stat.h>

using namespace glimrow;
using namespace glimrow::test;

TEST_F(EndToEnd, HeadlessProgramDrivesEveryOutputAndShowsPhonesTheWayToItsDashboard)
{
    // Slow polling and the timer alone: each check compares a board with the server's values
    // of the same fill, which holds between two fills (under emulation a cycle alone takes tens
    // of ms). A fill on each of the server's changes would replace it 20 times a second.
    changeFile(m_dir.filePath("Glimrow.cfg"),
               {{"[UPDATE-ON-ARRIVAL]\r\nTRUE\r\n", "[UPDATE-ON-ARRIVAL]\r\nFALSE\r\n"}});
    startProgram({"--run-for", "7", "--polling", "250", "--web", "0.0.0.0:0"});
    EXPECT_EQ(eventually([this] { return ledsShowTheServersBits(); }), "");
    EXPECT_EQ(eventually([this] {
                  const QStringList rows = hardware("Rows", 40001).value(0).toStringList();
                  const QString flow = FormatWholeNumber(filled("FuelFlow").toDouble());
                  const QString total = FormatWholeNumber(filled("InternalFuel").toDouble() +
                                                          filled("ExternalFuel").toDouble());
                  return rows.size() == 4 && rows[0] == (QString(6, ' ') + flow).right(6) &&
                                 rows[1] == (QString(6, ' ') + total).right(6)
                             ? std::string()
                             : "TextLED rows " + rows.join('|').toStdString();
              }),
              "");
    EXPECT_EQ(eventually([this] {
                  const QList<double> motors =
                      qdbus_cast<QList<double>>(hardware("MotorPositions", 50001).value(0));
                  const double gs = filled("GS").toDouble();
                  return motors.size() == 4 && std::abs(motors[0] - gs) < 1e-3 &&
                                 std::abs(motors[1] - gs) < 1e-3
                             ? std::string()
                             : "servo does not follow the load factor";
              }),
              "");

    expectCleanExit(); // --run-for ends it the normal way
    const QString log = QString::fromUtf8(m_program.readAllStandardError());
    EXPECT_TRUE(log.contains("update cycles run"));

    // The log shows the dashboard's address, token and all, as a QR code a phone reads.
    const QString address =
        QRegularExpression(QStringLiteral("Dashboard: open (http://\\S+)")).match(log).captured(1);
    ASSERT_TRUE(address.contains("?token=")) << log.toStdString();
    QStringList code;
    for (const QString& line : log.section(QStringLiteral("as a QR code"), 1).split(u'\n').mid(1)) {
        if (!line.startsWith(QStringLiteral("glimrow: \u2588")))
            break;
        code << line.sliced(int(qstrlen("glimrow: ")));
    }
    ASSERT_TRUE(drawTerminalQrCode(code, m_dir.filePath("code.pgm")));
    EXPECT_EQ(readQrCode(m_dir.filePath("code.pgm")), address);
}

TEST_F(EndToEnd, SignalsEndTheProgramTheNormalWay)
{
    // The first run records into a FIFO that nobody reads: it neither holds start-up nor the end.
    const QString fifo = m_dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(qPrintable(fifo), 0600), 0);
    const QString recording = m_dir.filePath("flight.jsonl");
    for (int signal : {SIGTERM, SIGINT}) {
        startProgram({"--record", signal == SIGTERM ? fifo : recording});
        ASSERT_EQ(eventually([this] { return ledsShowTheServersBits(); }), "");
        ::kill(pid_t(m_program.processId()), signal);
        expectCleanExit();
        const QByteArray log = m_program.readAllStandardError();
        EXPECT_TRUE(log.contains(signal == SIGTERM ? "glimrow: stopping (SIGTERM)"
                                                   : "glimrow: stopping (SIGINT)"))
            << log.toStdString();
        EXPECT_TRUE(log.trimmed().endsWith("update cycles run)")) << log.toStdString();
        QByteArray said;
        EXPECT_TRUE(waitFor([&] {
            said += m_simulator.readAllStandardOutput();
            return said.contains("closed the flight-data object");
        })) << "signal "
            << signal;
    }
    // What the object offered was recorded, snapshot by snapshot, to the end.
    QFile file(recording);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    ASSERT_GT(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains("\"connection\":\"dbus\"")) << lines[0].toStdString();
    EXPECT_TRUE(lines.last().contains("\"LightBits\":\"i\"")) << lines.last().toStdString();
}

TEST_F(EndToEnd, ADataServerThatEndsIsInactiveAtOnceAndSaysWhy)
{
    startProgram({});
    ASSERT_EQ(eventually([this] { return ledsShowTheServersBits(); }), "");
    QByteArray said = m_program.readAllStandardError();
    ASSERT_TRUE(said.contains("glimrow: Vantor-A"));
    m_simulator.kill(); // the server's process ends; its name leaves the bus with it
    EXPECT_TRUE(waitFor(
        [&] {
            said += m_program.readAllStandardError();
            return said.contains("glimrow: Vantor Inactive");
        },
        1000))
        << said.toStdString();
    EXPECT_TRUE(said.contains("The data server left the session bus")) << said.toStdString();
    EXPECT_FALSE(said.contains("skipped")) << said.toStdString();
}

TEST_F(EndToEnd, AStopDuringASlowStartUpIsNotLost)
{
    // Thousands of comment lines make start-up take a while; --run-for ends it in the middle.
    QFile config(m_dir.filePath("Glimrow.cfg"));
    ASSERT_TRUE(config.open(QIODevice::Append));
    for (int line = 0; line < 200000; ++line)
        config.write("/ a long comment that start-up has to read through\r\n");
    config.close();
    startProgram({"--run-for", "0.001"}, Wait::No);
    expectCleanExit();
    EXPECT_TRUE(m_program.readAllStandardError().contains("update cycles run"));
}

// A flight recorded through glimrow, played back by vantor-sim --replay: the LED board goes
// through the same lamp states, each as long after the one before as it was, within the
// polling period (and the test's own sampling).
TEST_F(EndToEnd, ARecordedFlightReplaysTheSameLampStatesWithItsTiming)
{
    m_simulator.terminate();
    ASSERT_TRUE(m_simulator.waitForFinished(5000));
    const QByteArray port = freePort(); // for the stream
    ASSERT_FALSE(port.isEmpty());
    changeFile(m_dir.filePath("Glimrow.cfg"),
               {{"\r\nDCOM\r\n", "\r\nTCP\r\n"},
                {"[TCPIP-PORT]\r\n2727\r\n", "[TCPIP-PORT]\r\n" + port + "\r\n"}});

    const int pollingMs = 50;
    const QString recording = m_dir.filePath("flight.jsonl");
    m_simulator.start(VANTOR_SIM_PATH, {"--no-dbus", "--port", port, "--rate", "50"});
    startProgram({"--record", recording, "--polling", QString::number(pollingMs)});
    const LampStates recorded = sampleLampStates(4000);
    ::kill(pid_t(m_program.processId()), SIGTERM);
    expectCleanExit();
    m_simulator.terminate();
    ASSERT_TRUE(m_simulator.waitForFinished(5000));

    m_simulator.start(VANTOR_SIM_PATH,
                      {"--no-dbus", "--port", port, "--replay", recording, "--loop"});
    startProgram({"--polling", QString::number(pollingMs)});
    // State by state from the recording's second change on (the first may be the board's
    // first lamps, from dark at start-up, which a replay joined midway does not repeat).
    // Joined midway (start-up is slow under emulation), the recording may be seen whole only
    // on its next time round, or the one after.
    constexpr std::size_t kBase = 2;
    ASSERT_GE(recorded.states.size(), kBase + 4) << "too few changes recorded";
    const auto replayStart = [&](const LampStates& replayed) {
        std::size_t start = 1;
        while (start < replayed.states.size() &&
               (replayed.states[start].second != recorded.states[kBase].second ||
                replayed.states[start - 1].second != recorded.states[kBase - 1].second))
            ++start;
        return start;
    };
    const LampStates replayed = sampleLampStates(30000, [&](const LampStates& seen) {
        return replayStart(seen) + recorded.states.size() - kBase <= seen.states.size();
    });
    const std::size_t start = replayStart(replayed);
    ASSERT_LT(start, replayed.states.size())
        << "the recorded changes never came again; vantor-sim said: "
        << (m_simulator.readAllStandardOutput() + m_simulator.readAllStandardError()).toStdString()
        << "\nglimrow said: " << m_program.readAllStandardError().toStdString();
    const qint64 tolerance = pollingMs + recorded.longestGapMs + replayed.longestGapMs;
    for (std::size_t change = kBase; change < recorded.states.size(); ++change) {
        const std::size_t at = start + change - kBase;
        ASSERT_LT(at, replayed.states.size()) << "change " << change << " never came";
        EXPECT_EQ(replayed.states[at].second, recorded.states[change].second)
            << "change " << change;
        const qint64 wasAfter = recorded.states[change].first - recorded.states[kBase].first;
        const qint64 isAfter = replayed.states[at].first - replayed.states[start].first;
        EXPECT_LE(std::abs(isAfter - wasAfter), tolerance)
            << "change " << change << " came " << isAfter << " ms after the first, not "
            << wasAfter;
    }
}

// As the user service runs it: in ~/.config/glimrow, reloaded by SIGHUP (systemctl --user
// reload), and a second copy ending at once with the status that tells systemd not to retry.
TEST_F(EndToEnd, AsAServiceHangupReloadsTheUsersFileAndASecondCopyStepsAside)
{
    m_simulator.terminate();
    ASSERT_TRUE(m_simulator.waitForFinished(5000));
    test::FlightDataServer server(m_bus);
    QVariantMap record;
    for (const FlightDataFieldInfo& field : flightDataFields())
        record[field.name] = field.type == FlightDataType::Text ? QVariant(QString()) : QVariant(0);
    record["VantorAy"] = true;
    record["LightBits"] = 2;
    server.setRecord(record);

    const QString home = m_dir.filePath("home");
    const QString config = home + "/.config/glimrow/Glimrow.cfg";
    ASSERT_TRUE(QDir().mkpath(home + "/.config/glimrow"));
    ASSERT_TRUE(QFile::rename(m_dir.filePath("Glimrow.cfg"), config));
    m_home = home;
    // A reload asked for while the program starts (at its first word) is taken once start-up
    // is over: it never ends the program.
    startProgram({"--user-config"}, Wait::No);
    m_program.setReadChannel(QProcess::StandardError);
    ASSERT_TRUE(waitFor([&] { return m_program.bytesAvailable() > 0; }, 15000));
    ::kill(pid_t(m_program.processId()), SIGHUP);
    const auto firstLed = [this] {
        return qdbus_cast<QList<int>>(hardware("Leds", 10001).value(0)).value(0, -1);
    };
    ASSERT_TRUE(waitFor([&] { return firstLed() == 0; }, 15000)); // its mask, 1, is not in 2
    ASSERT_EQ(m_program.state(), QProcess::Running);

    changeFile(config, {{"\r\n0,Master Caution,1,1\r\n", "\r\n0,Master Caution,2,1\r\n"}});
    ::kill(pid_t(m_program.processId()), SIGHUP);
    EXPECT_TRUE(waitFor([&] { return firstLed() > 0; })) << "the new mask does not drive LED 0";
    EXPECT_EQ(m_program.state(), QProcess::Running);

    // The file names the stream instead: the reload connects to it, without a restart.
    QTcpServer stream;
    ASSERT_TRUE(stream.listen(QHostAddress::LocalHost));
    const QByteArray port = QByteArray::number(stream.serverPort());
    changeFile(config, {{"[TCPIP-PORT]\r\n2727\r\n", "[TCPIP-PORT]\r\n" + port + "\r\n"},
                        {"[COMPREF]\r\nDCOM\r\n", "[COMPREF]\r\nTCP\r\n"}});
    ::kill(pid_t(m_program.processId()), SIGHUP);
    EXPECT_TRUE(waitFor([&] { return stream.hasPendingConnections(); }, 15000));

    // The second copy asks to replace a recording: it steps aside before touching it.
    const QString yesterday = m_dir.filePath("yesterday.jsonl");
    QFile recording(yesterday);
    ASSERT_TRUE(recording.open(QIODevice::WriteOnly) && recording.write("kept\n") == 5);
    recording.close();
    QProcess second;
    second.setProcessEnvironment(m_program.processEnvironment());
    second.setWorkingDirectory(m_dir.path());
    second.start(GLIMROW_PATH, {"--virtual-hardware", "--headless", "--user-config", "--record",
                                yesterday, "--record-replace"});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), Cockpit::kExitAnotherCopyRunning);
    EXPECT_EQ(QFileInfo(yesterday).size(), 5);
    const QByteArray said = second.readAllStandardError();
    EXPECT_TRUE(said.contains("A Previous Instance of Vantor Lumex Mon - ME Is Running"))
        << said.toStdString();
    EXPECT_FALSE(said.contains("Press Ok")) << said.toStdString();

    // The token the service's dashboard uses is the one printed, from any folder.
    const auto printedToken = [&](const QStringList& arguments) {
        QProcess asking;
        asking.setProcessEnvironment(m_program.processEnvironment());
        asking.setWorkingDirectory(m_dir.path());
        asking.start(GLIMROW_PATH, QStringList{"--web-token"} + arguments);
        EXPECT_TRUE(asking.waitForFinished(10000));
        return QString(asking.readAllStandardOutput()).trimmed().split(' ').last();
    };
    const QString serviceToken = printedToken({"--user-config"});
    EXPECT_EQ(serviceToken.size(), 32);
    EXPECT_EQ(printedToken({}), serviceToken);
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("web-token")));

    ::kill(pid_t(m_program.processId()), SIGTERM);
    expectCleanExit();
    const QByteArray log = m_program.readAllStandardError();
    EXPECT_TRUE(log.contains("Glimrow.cfg reloaded; now TCP/IP 127.0.0.1:" + port))
        << log.toStdString();
    EXPECT_TRUE(log.contains("Phidget board attached: PhidgetLED, serial 10001, drives PLED64-1"))
        << log.toStdString();
}

TEST(Options, AreReadWithoutADisplayAndWrongValuesAreRefused)
{
    const auto run = [](const QStringList& arguments, QByteArray* output = nullptr) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(display);
        program.setProcessEnvironment(environment);
        program.start(GLIMROW_PATH, arguments);
        EXPECT_TRUE(program.waitForFinished(10000));
        if (output)
            *output = program.readAllStandardOutput() + program.readAllStandardError();
        return program.exitCode();
    };
    QByteArray output;
    EXPECT_EQ(run({"--version"}, &output), 0);
    EXPECT_TRUE(output.contains("glimrow 1.8.0"));
    EXPECT_EQ(run({"--polling", "0"}, &output), 2);
    EXPECT_TRUE(output.contains("--polling needs a whole number"));
    EXPECT_EQ(run({"--run-for", "x"}), 2);
    EXPECT_EQ(run({"--no-such-option"}), 2);
    // The window without a display: what to do, not Qt's abort.
    EXPECT_EQ(run({}, &output), 1);
    EXPECT_TRUE(output.contains("glimrow: No display found (DISPLAY and WAYLAND_DISPLAY are "
                                "unset); to run without a screen use --headless"))
        << output.toStdString();

    // --check-config: nothing to say about the example; a file with a mistake, FILE:LINE: first.
    EXPECT_EQ(run({"--check-config", GLIMROW_EXAMPLES_DIR "/Glimrow.cfg"}, &output), 0);
    EXPECT_TRUE(output.isEmpty()) << output.toStdString();
    QTemporaryDir dir;
    const QString file = dir.filePath("Glimrow.cfg");
    QFile config(file);
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("[PTLED-1]\r\n[PTLED-2]\r\n[PTLCD-1]\r\n[PTLCD-2]\r\n[SKITS]\r\n"
                 "0,Airspeed,KAIS,0\r\n[EPICAnalogs]\r\n");
    config.close();
    EXPECT_EQ(run({"--check-config", file}, &output), 1);
    EXPECT_TRUE(output.startsWith((file + ":6: warning: unknown gauge keyword").toUtf8()))
        << output.toStdString();

    // What the file says is quoted, never passed to the terminal as control sequences.
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("[PTLED-1]\r\n[PTLED-2]\r\n[PTLCD-1]\r\n[PTLCD-2]\r\n[SKITS]\r\n"
                 "0,\x1b]0;owned\x07\x1b[2J,KAIS\x9b,0\r\n[EPICAnalogs]\r\n");
    config.close();
    EXPECT_EQ(run({"--check-config", file}, &output), 1);
    EXPECT_FALSE(output.contains('\x1b') || output.contains('\x07')) << output.toStdString();
    EXPECT_TRUE(output.contains("\\x1B]0;owned\\x07\\x1B[2J")) << output.toStdString();

    // Every mistake in one pass: two format errors and two warnings, a G-suit formula among
    // them, in file order.
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("[GSUIT-1]\r\nG^2\r\n[PTLED-1]\r\n\r\n[PTLED-2]\r\n[PTLCD-1]\r\n"
                 "[PTLCD-2]\r\n[SKITS]\r\n0,Airspeed,KAIS,0\r\n/ end of gauges\r\n"
                 "stray\r\n[EPICAnalogs]\r\n");
    config.close();
    EXPECT_EQ(run({"--check-config", file}, &output), 1);
    const QList<QByteArray> lines = output.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4) << output.toStdString();
    EXPECT_TRUE(lines[0].startsWith((file + ":2: warning: not a formula in G").toUtf8()));
    EXPECT_TRUE(lines[1].startsWith((file + ":4: error: a blank line").toUtf8()));
    EXPECT_TRUE(lines[2].startsWith((file + ":9: warning: unknown gauge keyword").toUtf8()));
    EXPECT_TRUE(lines[3].startsWith((file + ":11: error: a line outside any section").toUtf8()));

    // A file that is not there: where it was looked for.
    EXPECT_EQ(run({"--check-config", dir.filePath("none/Glimrow.cfg")}, &output), 1);
    EXPECT_TRUE(output.contains("Glimrow.cfg is missing; looked for it in " +
                                dir.filePath("none").toUtf8()))
        << output.toStdString();
}

TEST(Options, UserConfigSaysWhyItCannotWorkRatherThanRunOnAnotherFile)
{
    // The folder it is started in holds a Glimrow.cfg that must not be used instead.
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(GLIMROW_EXAMPLES_DIR "/Glimrow.cfg", dir.filePath("Glimrow.cfg")));
    const auto run = [&dir](const QString& home,
                            const QStringList& arguments = {"--headless", "--user-config",
                                                            "--run-for", "5"}) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("XDG_CONFIG_HOME");
        environment.remove("HOME");
        if (!home.isNull())
            environment.insert("HOME", home);
        environment.insert("XDG_RUNTIME_DIR", dir.path());
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(dir.path());
        program.start(GLIMROW_PATH, arguments);
        EXPECT_TRUE(program.waitForFinished(10000));
        return std::pair(program.exitCode(),
                         QString(program.readAllStandardOutput() + program.readAllStandardError()));
    };
    const auto [noHomeCode, noHome] = run(QString());
    EXPECT_EQ(noHomeCode, 1);
    EXPECT_TRUE(noHome.contains("HOME is not set")) << noHome.toStdString();

    ASSERT_TRUE(QDir(dir.path()).mkpath("home/.config"));
    QFile(dir.filePath("home/.config/glimrow")).open(QIODevice::WriteOnly);
    const auto [fileCode, file] = run(dir.filePath("home"));
    EXPECT_EQ(fileCode, 1);
    EXPECT_TRUE(file.contains("glimrow is not a folder")) << file.toStdString();

    // ~/.config itself not a folder: glimrow cannot be made in it.
    ASSERT_TRUE(QDir(dir.filePath("home/.config")).removeRecursively());
    QFile(dir.filePath("home/.config")).open(QIODevice::WriteOnly);
    const auto [blockedCode, blocked] = run(dir.filePath("home"));
    EXPECT_EQ(blockedCode, 1);
    EXPECT_TRUE(blocked.contains("cannot make the folder")) << blocked.toStdString();

    // --check-config checks the file --user-config would run on, not the starting folder's.
    ASSERT_TRUE(QDir(dir.path()).mkpath("checked/.config/glimrow"));
    QFile user(dir.filePath("checked/.config/glimrow/Glimrow.cfg"));
    ASSERT_TRUE(user.open(QIODevice::WriteOnly));
    user.write("stray\r\n");
    user.close();
    const auto [checkCode, checked] =
        run(dir.filePath("checked"), {"--check-config", "--user-config"});
    EXPECT_EQ(checkCode, 1);
    EXPECT_TRUE(checked.contains(user.fileName() + ":1: error: a line outside any"))
        << checked.toStdString();
    // On a fresh account, without the package's example beside the program: where it is.
    const auto [freshCode, fresh] = run(dir.filePath("fresh"), {"--check-config", "--user-config"});
    EXPECT_EQ(freshCode, 1);
    EXPECT_TRUE(fresh.contains("does not exist yet; copy the example there (the package puts it "
                               "in /usr/share/doc/glimrow/examples/)"))
        << fresh.toStdString();
}
