// The D-Bus traffic of one DCOM update cycle: FillFlightData plus the snapshot of every
// property, against vantor-sim running as its own process on a private bus, as the data
// server does (target: under 400 us).

#include "support/PrivateBus.h"

#include "data/DBusFlightData.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

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
    glimrow::DBusFlightData object(simulator.connection);
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

} // namespace
