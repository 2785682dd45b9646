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

// Starts vantor-sim on `bus` and waits until its object is on the bus.
bool startServer(QProcess& server, const glimrow::test::PrivateBus& bus,
                 const QDBusConnection& connection)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    server.setProcessEnvironment(environment);
    server.start(QStringLiteral(VANTOR_SIM_PATH), {QStringLiteral("--no-tcp")});
    if (!server.waitForStarted(5000))
        return false;
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000) {
        if (connection.interface()->isServiceRegistered(glimrow::DBusFlightData::kService))
            return true;
        QThread::msleep(10);
    }
    return false;
}

void FillAndSnapshot(benchmark::State& state)
{
    glimrow::test::PrivateBus bus;
    const QDBusConnection connection = bus.connect(QStringLiteral("program"));
    QProcess server;
    if (bus.address().isEmpty() || !startServer(server, bus, connection)) {
        state.SkipWithError("dbus-daemon or vantor-sim could not be started");
        return;
    }
    glimrow::DBusFlightData object(connection);
    for (auto _ : state) {
        object.FillFlightData();
        benchmark::DoNotOptimize(object.readNumber(glimrow::FlightDataField::RPM));
    }
    state.SetItemsProcessed(state.iterations());
    server.kill();
    server.waitForFinished();
}
BENCHMARK(FillAndSnapshot)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Side by side with the snapshot: the fill, then every property read with its own call.
void FillAndEachPropertyAlone(benchmark::State& state)
{
    glimrow::test::PrivateBus bus;
    const QDBusConnection connection = bus.connect(QStringLiteral("program"));
    QProcess server;
    if (bus.address().isEmpty() || !startServer(server, bus, connection)) {
        state.SkipWithError("dbus-daemon or vantor-sim could not be started");
        return;
    }
    const QDBusMessage fill = QDBusMessage::createMethodCall(
        glimrow::DBusFlightData::kService, glimrow::DBusFlightData::kPath,
        glimrow::DBusFlightData::kInterface, QStringLiteral("FillFlightData"));
    for (auto _ : state) {
        connection.call(fill);
        for (const glimrow::FlightDataFieldInfo& field : glimrow::flightDataFields()) {
            QDBusMessage get = QDBusMessage::createMethodCall(
                glimrow::DBusFlightData::kService, glimrow::DBusFlightData::kPath,
                QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
            get << glimrow::DBusFlightData::kInterface << QString::fromLatin1(field.name);
            benchmark::DoNotOptimize(connection.call(get));
        }
    }
    server.kill();
    server.waitForFinished();
}
BENCHMARK(FillAndEachPropertyAlone)->Unit(benchmark::kMicrosecond)->UseRealTime();

// For comparison: one plain property Get, a single round trip.
void SingleRoundTrip(benchmark::State& state)
{
    glimrow::test::PrivateBus bus;
    const QDBusConnection connection = bus.connect(QStringLiteral("program"));
    QProcess server;
    if (bus.address().isEmpty() || !startServer(server, bus, connection)) {
        state.SkipWithError("dbus-daemon or vantor-sim could not be started");
        return;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        glimrow::DBusFlightData::kService, glimrow::DBusFlightData::kPath,
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << glimrow::DBusFlightData::kInterface << QStringLiteral("RPM");
    for (auto _ : state)
        benchmark::DoNotOptimize(connection.call(get));
    server.kill();
    server.waitForFinished();
}
BENCHMARK(SingleRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
