#pragma once

// The whole system as a user runs it: vantor-sim serving, glimrow --headless --virtual-hardware
// on the example configuration with no display, both on a private session bus; checked from
// outside through org.glimrow.VirtualHardware and the data server's object.

#include "support/PrivateBus.h"
#include "support/Waiting.h"

#include "data/DBusFlightData.h"
#include "phidget/virtual/VirtualHardwareService.h"

#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace glimrow::test {

// Each of `changes` (text, its replacement) made in the file at `path`; every text must be there.
inline void changeFile(const QString& path,
                       const std::vector<std::pair<QByteArray, QByteArray>>& changes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll();
    file.close();
    for (const auto& [from, to] : changes) {
        ASSERT_TRUE(text.contains(from)) << from.toStdString();
        text.replace(from, to);
    }
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

// A loopback port nobody listens on now, for a server the test starts its program on.
inline QByteArray freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? QByteArray::number(probe.serverPort())
                                                    : QByteArray();
}

// Waits until `check` holds (it returns "" then, or what is wrong), for up to 15 seconds.
inline std::string eventually(const std::function<std::string()>& check)
{
    std::string problem;
    waitFor([&] { return (problem = check()).empty(); }, 15000);
    return problem;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
#ifdef GLIMROW_EMULATED_BINFMT
        QFile binfmt(GLIMROW_EMULATED_BINFMT);
        if (!binfmt.open(QIODevice::ReadOnly) || !binfmt.readLine().startsWith("enabled"))
            GTEST_SKIP() << "this machine cannot start the programs under test: "
                         << GLIMROW_EMULATED_BINFMT << " is not an enabled binfmt_misc entry";
#endif
        ASSERT_FALSE(m_bus.address().isEmpty());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", m_bus.address());
        environment.insert("XDG_RUNTIME_DIR", m_dir.path()); // the single-copy lock lives there
        m_simulator.setProcessEnvironment(environment);
        m_simulator.start(VANTOR_SIM_PATH, {"--no-tcp"});
        ASSERT_TRUE(m_simulator.waitForStarted());

        ASSERT_TRUE(
            QFile::copy(GLIMROW_EXAMPLES_DIR "/Glimrow.cfg", m_dir.filePath("Glimrow.cfg")));
    }

    // Glimrow headless on the example configuration, as on a cockpit computer without a screen.
    enum class Wait { ForBoards, No };
    void startProgram(const QStringList& options, Wait wait = Wait::ForBoards)
    {
        QProcessEnvironment environment = m_simulator.processEnvironment();
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(display);
        if (!m_home.isEmpty())
            environment.insert("HOME", m_home);
        m_program.setProcessEnvironment(environment);
        m_program.setWorkingDirectory(m_dir.path());
        m_program.start(GLIMROW_PATH, QStringList({"--virtual-hardware", "--headless"}) + options);
        ASSERT_TRUE(m_program.waitForStarted());
        if (wait == Wait::No)
            return;
        ASSERT_EQ(eventually([this] {
                      return m_client.interface()->isServiceRegistered(
                                 VirtualHardwareService::kService)
                                 ? std::string()
                                 : "no virtual hardware on the bus";
                  }),
                  "");
    }
    // The program ended the normal way, with status 0.
    void expectCleanExit()
    {
        // It may have ended already, while a wait ran the event loop.
        ASSERT_TRUE(m_program.state() == QProcess::NotRunning || m_program.waitForFinished(20000));
        EXPECT_EQ(m_program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(m_program.exitCode(), 0);
    }

    void TearDown() override
    {
        for (QProcess* process : {&m_program, &m_simulator}) {
            process->terminate();
            if (!process->waitForFinished(5000))
                process->kill();
        }
    }

    QList<QVariant> hardware(const QString& method, int serial) const
    {
        QDBusMessage call = QDBusMessage::createMethodCall(
            VirtualHardwareService::kService, VirtualHardwareService::kPath,
            VirtualHardwareService::kService, method);
        call << serial;
        return m_client.call(call).arguments();
    }

    // What the data server's object holds since its last fill.
    QVariant filled(const char* field) const
    {
        QDBusMessage get =
            QDBusMessage::createMethodCall(DBusFlightData::kService, DBusFlightData::kPath,
                                           "org.freedesktop.DBus.Properties", "Get");
        get << DBusFlightData::kInterface << QString(field);
        const QDBusReply<QDBusVariant> reply = m_client.call(get);
        return reply.isValid() ? reply.value().variant() : QVariant();
    }

    // LED-64 board 1 carries bit n of the server's last LightBits on LED n (and any AOA bit on
    // LED 32). The flight always has a warning lamp lit, so a word of 0 means no data yet.
    std::string ledsShowTheServersBits() const
    {
        const std::int32_t lightBits = filled("LightBits").toInt();
        const QList<int> leds = qdbus_cast<QList<int>>(hardware("Leds", 10001).value(0));
        if (lightBits == 0)
            return "no light bits yet";
        if (leds.size() != 64)
            return "no LED board";
        for (int bit = 0; bit < 32; ++bit) {
            if ((leds[bit] > 0) != bool(std::uint32_t(lightBits) & (1u << bit)))
                return "LED " + std::to_string(bit) + " does not show its bit";
        }
        if ((leds[32] > 0) != bool(lightBits & 28672))
            return "LED 32 does not show the AOA bits";
        return {};
    }

    PrivateBus m_bus;
    QDBusConnection m_client = m_bus.connect("checker");
    QTemporaryDir m_dir;
    QProcess m_simulator;
    QProcess m_program;
    QString m_home; // the program's HOME, when not the tester's

    // The lit LEDs of LED-64 board 10001 each time they changed, with when (ms).
    struct LampStates {
        std::vector<std::pair<qint64, quint64>> states;
        qint64 longestGapMs = 0; // between two samples: how finely the times are known
    };
    // For `milliseconds`, or sooner once `enough` says what was seen is enough.
    LampStates sampleLampStates(int milliseconds,
                                const std::function<bool(const LampStates&)>& enough = {}) const
    {
        LampStates seen;
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        while (clock.elapsed() < milliseconds && !(enough && enough(seen))) {
            const QList<int> leds = qdbus_cast<QList<int>>(hardware("Leds", 10001).value(0));
            const qint64 now = clock.elapsed();
            seen.longestGapMs = std::max(seen.longestGapMs, now - last);
            last = now;
            quint64 lit = 0;
            for (int led = 0; led < std::min<int>(int(leds.size()), 64); ++led)
                lit |= leds[led] > 0 ? quint64(1) << led : 0;
            if (!leds.isEmpty() && (seen.states.empty() || seen.states.back().second != lit))
                seen.states.emplace_back(now, lit);
        }
        return seen;
    }
};

} // namespace glimrow::test
