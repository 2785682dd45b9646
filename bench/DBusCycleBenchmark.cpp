// The D-Bus traffic of one DCOM update cycle: FillFlightData plus the snapshot of every
// property, against vantor-sim running as its own process on a private bus, as the data
// server does (target: under 400 us). And the window's event loop while that server is
// stopped (kill -STOP) for 3 s: the longest gap between two turns (target: at most 20 ms).

#include "support/PrivateBus.h"

#include "data/DBusFlightData.h"
#include "data/UpdateCycle.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <sys/types.h>

#include <benchmark/benchmark.h>

namespace {

// vantor-sim as its own process on a private bus, and the program's connection to that bus.
class SimulatorOnPrivateBus {
public:
    SimulatorOnPrivateBus() : connection(bus.connect(QStringLiteral("program")))
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
        m_server.setProcessEnvironment(environment);
        m_server.start(QStringLiteral(VANTOR_SIM_PATH), {QStringLiteral("--no-tcp")});
    }
    ~SimulatorOnPrivateBus()
    {
        m_server.kill();
        m_server.waitForFinished();
    }

    // Waits until the object is on the bus; false (and the benchmark skipped) if it never is.
    bool ready(benchmark::State& state)
    {
        QElapsedTimer waited;
        waited.start();
        while (!bus.address().isEmpty() && m_server.state() != QProcess::NotRunning &&
               waited.elapsed() < 5000) {
            if (connection.interface()->isServiceRegistered(glimrow::DBusFlightData::kService))
                return true;
            QThread::msleep(10);
        }
        state.SkipWithError("dbus-daemon or vantor-sim could not be started");
        return false;
    }

    // Stops the server process, or lets it go on.
    void freeze(bool frozen) { ::kill(pid_t(m_server.processId()), frozen ? SIGSTOP : SIGCONT); }

    glimrow::test::PrivateBus bus;
    QDBusConnection connection;

private:
    QProcess m_server;
};

QDBusMessage propertyGet(const QString& name)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        glimrow::DBusFlightData::kService, glimrow::DBusFlightData::kPath,
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << glimrow::DBusFlightData::kInterface << name;
    return get;
}

void FillAndSnapshot(benchmark::State& state)
{
    SimulatorOnPrivateBus simulator;
    if (!simulator.ready(state))
        return;
    glimrow::DBusFlightData object(simulator.bus.connector());
    for (auto _ : state) {
        object.FillFlightData();
        benchmark::DoNotOptimize(object.readNumber(glimrow::FlightDataField::RPM));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(FillAndSnapshot)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Side by side with the snapshot: the fill, then every property read with its own call.
void FillAndEachPropertyAlone(benchmark::State& state)
{
    SimulatorOnPrivateBus simulator;
    if (!simulator.ready(state))
        return;
    const QDBusMessage fill = QDBusMessage::createMethodCall(
        glimrow::DBusFlightData::kService, glimrow::DBusFlightData::kPath,
        glimrow::DBusFlightData::kInterface, QStringLiteral("FillFlightData"));
    for (auto _ : state) {
        simulator.connection.call(fill);
        for (const glimrow::FlightDataFieldInfo& field : glimrow::flightDataFields())
            benchmark::DoNotOptimize(simulator.connection.call(propertyGet(field.name)));
    }
}
BENCHMARK(FillAndEachPropertyAlone)->Unit(benchmark::kMicrosecond)->UseRealTime();

// For comparison: one plain property Get, a single round trip.
void SingleRoundTrip(benchmark::State& state)
{
    SimulatorOnPrivateBus simulator;
    if (!simulator.ready(state))
        return;
    const QDBusMessage get = propertyGet(QStringLiteral("RPM"));
    for (auto _ : state)
        benchmark::DoNotOptimize(simulator.connection.call(get));
}
BENCHMARK(SingleRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The program's side of the D-Bus mode: the update cycle at 100 ms polling while the server is
// active, and the watchdog's read of VantorAy every second while it is not.
class DcomProgram : public glimrow::FlightDataSource {
public:
    explicit DcomProgram(const glimrow::test::PrivateBus& bus) : m_object(bus.connector())
    {
        m_polling.callOnTimeout([this] {
            if (active)
                m_cycle.run();
        });
        m_polling.start(100);
        m_watchdog.callOnTimeout([this] {
            m_object.requestActivity([this](std::optional<bool> answer, const QString&) {
                active = answer.value_or(false);
            });
        });
        m_watchdog.start(1000);
    }

    bool isDcomSelected() const override { return true; }
    glimrow::FlightDataObject* flightDataObject() const override
    {
        return const_cast<glimrow::DBusFlightData*>(&m_object);
    }
    void serverFailed(const QString&) override { active = false; }
    void reportServerProblem(const QString&) override {}

    bool active = true;

private:
    glimrow::DBusFlightData m_object;
    glimrow::FlightDataCache m_cache;
    glimrow::UpdateCycle m_cycle{*this, m_cache, [] { QCoreApplication::processEvents(); }};
    QTimer m_polling;
    QTimer m_watchdog;
};

// The longest time between two turns of the event loop over `milliseconds`.
qint64 longestGapMs(int milliseconds)
{
    QTimer wakeUp; // a turn at least every millisecond when nothing else happens
    wakeUp.start(1);
    QElapsedTimer clock;
    clock.start();
    qint64 lastTurn = 0;
    qint64 longest = 0;
    while (clock.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        longest = std::max(longest, clock.elapsed() - lastTurn);
        lastTurn = clock.elapsed();
    }
    return longest;
}

void WindowWhileServerStopped(benchmark::State& state)
{
    SimulatorOnPrivateBus simulator;
    if (!simulator.ready(state))
        return;
    DcomProgram program(simulator.bus);
    qint64 longest = 0;
    for (auto _ : state) {
        simulator.freeze(true);
        longest = std::max(longest, longestGapMs(3000));
        simulator.freeze(false);
        QElapsedTimer waited; // the server is picked up again by the watchdog
        waited.start();
        while (!program.active && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        if (!program.active)
            state.SkipWithError("the server was not picked up again");
    }
    state.counters["longest_gap_ms"] = double(longest);
}
BENCHMARK(WindowWhileServerStopped)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
