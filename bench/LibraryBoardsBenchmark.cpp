// The update cycle driving real boards through the vendor's libraries — here their fakes,
// whose boards take 2 ms for each USB round trip (libphidget21 queues lamps, outputs and servo
// positions and waits only for display rows and settings): two LED-64 boards with all 64 LEDs
// configured, 16 outputs of both interface kits, both TextLCD and TextLED boards (which
// libphidget22 does not know) and the servo. Figures: the window thread's time in one cycle
// with every value changing and with nothing changing, under each library (target: 2 ms
// each); under libphidget22, the time from a frame with a new light bit leaving the stream to
// both boards' LED calls at 20 ms polling, with the cycle on arrival (target: one round trip
// plus 2 ms) and with the timer alone; and what the cycle on arrival costs with a stream at 20
// and 50 frames a second at 100 ms polling: cycles, USB writes and CPU.

#include "StartedWindow.h"
#include "support/MemoryFlightData.h"
#include "support/Waiting.h"

#include "cockpit/Cockpit.h"
#include "cockpit/HeadlessView.h"
#include "phidget/library/LibraryFunctions.h"
#include "phidget/library/Phidget21Backend.h"
#include "phidget/library/Phidget22Backend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <ctime>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <vector>

namespace {

using namespace glimrow;

constexpr double kRoundTripMs = 2;
constexpr int kPollingMs = 20;

QByteArray boardsConfig()
{
    QByteArray config;
    for (const char* board : {"[PLED64-1]", "[PLED64-2]"}) {
        config += QByteArray(board) + "\r\n";
        for (int led = 0; led < 64; ++led)
            config += QByteArray::number(led) + ",Lamp," + QByteArray::number(1u << (led % 32)) +
                      ',' + QByteArray::number(1 + led / 32) + "\r\n";
    }
    for (const char* kit : {"[P01616-1]", "[P01616-2]"}) {
        config += QByteArray(kit) + "\r\n";
        for (int output = 0; output < 16; ++output)
            config += QByteArray::number(output) + ",Output," + QByteArray::number(1 << output) +
                      ",3\r\n";
    }
    config += "[PTLED-1]\r\n0,Fuel Flow,FUELFLOW,0\r\n1,Totalizer,TOTALIZER,0\r\n"
              "[PTLED-2]\r\n0,CMDS,CMDS1,NO GO\r\n"
              "[PTLCD-1]\r\n1,Chaff,CMDS,CHAFF:\r\n2,Flares,CMDS,FLARE:\r\n"
              "[PTLCD-2]\r\n1,Chaff,CMDS,CHAFF:\r\n2,Flares,CMDS,FLARE:\r\n"
              "[SKITS]\r\n[EPICAnalogs]\r\n";
    return config;
}

// The fake library's own controls, beside the vendor's functions the backend loads.
struct FakeControls {
    explicit FakeControls(const QString& file) : functions(file)
    {
        functions.resolve("FakePhidget_plug", plug);
        functions.resolve("FakePhidget_setLatency", setLatency);
        functions.resolve("FakePhidget_idle", idle);
        functions.resolve("FakePhidget_takeCalls", takeCalls);
        functions.resolve("FakePhidget_reset", reset);
    }

    library::Functions functions;
    void (*plug)(const char*, int, int) = nullptr;
    void (*setLatency)(double) = nullptr;
    int (*idle)() = nullptr;
    const char* (*takeCalls)() = nullptr;
    void (*reset)() = nullptr;
};

QString fakeLibrary(int version)
{
    return QStringLiteral("%1").arg(version == 21 ? FAKE_PHIDGET21 : FAKE_PHIDGET22);
}

std::unique_ptr<PhidgetLibraryBackend> loadBackend(int version, QString* error)
{
    if (version == 21)
        return Phidget21Backend::load(fakeLibrary(21), error);
    return Phidget22Backend::load(fakeLibrary(22), error);
}

class CockpitOnFakeBoards {
public:
    // Over the fake libphidget21 or libphidget22; from the data server's object in memory, or
    // from the stream on `streamPort`.
    explicit CockpitOnFakeBoards(int version, quint16 streamPort = 0)
        : m_fake(fakeLibrary(version)), m_version(version), m_streamPort(streamPort)
    {
        if (!m_fake.functions.problem().isEmpty())
            return;
        m_fake.reset();
        m_fake.setLatency(kRoundTripMs);
        for (int board : {1, 2}) {
            m_fake.plug("PhidgetLED", 10000 + board, 103);
            m_fake.plug("PhidgetInterfaceKit", 20000 + board, 825);
            m_fake.plug("PhidgetTextLCD", 30000 + board, 200);
            m_fake.plug("PhidgetTextLED", 40000 + board, 113);
        }
        m_fake.plug("PhidgetServo", 50001, 313);
        QString error;
        m_backend = loadBackend(version, &error);
        QFile file(m_dir.filePath("Glimrow.cfg"));
        if (!m_backend || !file.open(QIODevice::WriteOnly))
            return;
        if (streamPort != 0) {
            file.write("[TCPIP-IP]\r\n127.0.0.1\r\n[TCPIP-PORT]\r\n" +
                       QByteArray::number(streamPort) + "\r\n[COMPREF]\r\nTCP\r\n");
        }
        file.write(boardsConfig());
        file.close();

        CockpitSettings settings;
        settings.configFilePath = file.fileName();
        settings.instanceLockPath = m_dir.filePath("lock");
        settings.flightDataFactory = [this] {
            auto data = std::make_unique<test::MemoryFlightData>();
            for (const FlightDataFieldInfo& field : flightDataFields())
                data->set(field.field,
                          field.type == FlightDataType::Text ? QVariant(QString()) : 0);
            data->set(FlightDataField::VantorAy, true);
            m_data = data.get();
            return data;
        };
        settings.openPhidgets = [this](PhidgetManager& manager) { m_backend->open(manager); };
        m_cockpit = std::make_unique<Cockpit>(m_view, settings);
        if (!m_cockpit->Start())
            return;
        QElapsedTimer waited;
        waited.start();
        while (!allAttached() && waited.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        settle();
    }
    ~CockpitOnFakeBoards()
    {
        if (m_cockpit)
            m_cockpit->ShutdownProgram();
        m_cockpit.reset();
        m_backend.reset();
        m_fake.reset();
    }

    bool ready() const { return (m_data || m_streamPort != 0) && allAttached(); }
    Cockpit& cockpit() { return *m_cockpit; }
    FakeControls& fake() { return m_fake; }

    // Every value the cycle sends, the one way or the other.
    void setEverything(bool phase)
    {
        for (FlightDataField bits :
             {FlightDataField::LightBits, FlightDataField::LightBits2, FlightDataField::LightBits3})
            m_data->set(bits, phase ? -1 : 0);
        m_data->set(FlightDataField::GS, phase ? 1.5 : 4.0);
        m_data->set(FlightDataField::FuelFlow, phase ? 2400 : 3100);
        m_data->set(FlightDataField::ChaffCount, phase ? 30 : 12);
        m_data->set(FlightDataField::Flarecount, phase ? 20 : 8);
    }
    void setLightBits(int bits) { m_data->set(FlightDataField::LightBits, bits); }

    // Until every call sent has reached its board and been answered.
    void settle()
    {
        test::waitUntilSettled([this] { return idle(); }, 10000);
        m_fake.takeCalls();
    }

private:
    bool idle() const { return m_fake.idle() && m_backend->sendsIdle(); }
    bool allAttached() const
    {
        const PhidgetDeviceManager& devices = m_cockpit->devices();
        return devices.pRavazLED(2) && devices.pRavaz01616(2) && devices.pRavazTextLCD(2) &&
               devices.pRavazServo(1) && (m_version == 22 || devices.pRavazTextLED(2));
    }

    FakeControls m_fake;
    int m_version;
    quint16 m_streamPort;
    QTemporaryDir m_dir;
    HeadlessView m_view;
    std::unique_ptr<PhidgetLibraryBackend> m_backend;
    test::MemoryFlightData* m_data = nullptr; // owned by the cockpit
    std::unique_ptr<Cockpit> m_cockpit;
};

// The window thread's time in one cycle; range(0): 1 when every value changes each cycle;
// range(1): the library, 21 or 22.
void CycleOnLibraryBoards(benchmark::State& state)
{
    CockpitOnFakeBoards boards(int(state.range(1)));
    if (!boards.ready()) {
        state.SkipWithError("the boards of the fake libphidget22 did not attach");
        return;
    }
    const bool changing = state.range(0) != 0;
    boards.cockpit().setPollingInterval(250); // the cycles measured are the benchmark's own
    bool phase = false;
    boards.setEverything(phase);
    boards.cockpit().updateCycle().run();
    boards.settle();
    QElapsedTimer clock;
    for (auto _ : state) {
        if (changing)
            boards.setEverything(phase = !phase);
        clock.start();
        boards.cockpit().updateCycle().run();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        boards.settle(); // the boards take what was sent, as they would before the next cycle
    }
    state.SetLabel(QStringLiteral("libphidget%1, %2")
                       .arg(state.range(1))
                       .arg(changing ? "every value changing" : "nothing changing")
                       .toStdString());
}
BENCHMARK(CycleOnLibraryBoards)
    ->Args({1, 22})
    ->Args({0, 22})
    ->Args({1, 21})
    ->Args({0, 21})
    ->Iterations(40)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// From a frame with a new light bit leaving the stream, at a random moment of the polling
// period, to the LED call on both LED-64 boards (the lamp of bit 0 is LED 0 of each); range(0):
// the cycle on arrival on (1) or off (0).
void LightBitToBoard(benchmark::State& state)
{
    bench::LightBitStream stream;
    CockpitOnFakeBoards boards(22, stream.server.port());
    if (!boards.ready()) {
        state.SkipWithError("the boards of the fake libphidget22 did not attach");
        return;
    }
    boards.cockpit().setPollingInterval(kPollingMs);
    boards.cockpit().setUpdateOnArrival(state.range(0) != 0);
    QElapsedTimer clock;
    clock.start();
    while (!boards.cockpit().cache().VantorAy && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    // The new bit leaves the stream; until both boards have taken the LED call, at most 1 s.
    const auto toggleAndWait = [&] {
        boards.fake().takeCalls();
        clock.restart();
        stream.setLightBits(stream.lightBits ^ 1);
        QByteArray calls;
        while (
            !(calls.contains("setDutyCycle 10001/0 ") && calls.contains("setDutyCycle 10002/0 ")) &&
            clock.elapsed() < 1000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
            calls += boards.fake().takeCalls();
        }
        return clock.nsecsElapsed();
    };
    toggleAndWait(); // the first lamp lit after the boards attach is not the one measured
    std::vector<double> latencies;
    QRandomGenerator random(7);
    for (auto _ : state) {
        clock.start();
        const qint64 pause = bench::kChangesApartMs + random.bounded(kPollingMs);
        while (clock.elapsed() < pause)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        const qint64 took = toggleAndWait();
        latencies.push_back(double(took) / 1e6);
        state.SetIterationTime(double(took) / 1e9);
    }
    std::sort(latencies.begin(), latencies.end());
    state.counters["p50_ms"] = latencies[latencies.size() / 2];
    state.counters["p99_ms"] =
        latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];
    state.SetLabel(state.range(0) != 0 ? "on arrival" : "timer alone");
}
BENCHMARK(LightBitToBoard)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(200)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// 3 s of vantor-sim's scripted flight (every frame moves the speed brake; the lamps change
// every few seconds) at 100 ms polling over the fake libphidget22 boards; range(0): frames a
// second; range(1): the cycle on arrival on (1) or off (0). Counters per second: cycles, calls
// that reached a board, and the window thread's CPU in percent of one core (the fake library's
// threads, which stand in for USB, left out).
void ArrivalCost(benchmark::State& state)
{
    const int framesPerSecond = int(state.range(0));
    QElapsedTimer flight;
    flight.start();
    QVariantMap record;
    sim::TcpFrameServer server(
        [&] {
            record = sim::FlightScript::recordAt(double(flight.elapsed()) / 1000);
            return sim::FlightScript::frameFor(record);
        },
        framesPerSecond);
    server.listen(QHostAddress::LocalHost, 0);
    CockpitOnFakeBoards boards(22, server.port());
    if (!boards.ready()) {
        state.SkipWithError("the boards of the fake libphidget22 did not attach");
        return;
    }
    boards.cockpit().setPollingInterval(100);
    boards.cockpit().setUpdateOnArrival(state.range(1) != 0);
    // The first frames send every lamp afresh: the steady flight is what is measured.
    QElapsedTimer waited;
    waited.start();
    while (boards.cockpit().updateCycle().cyclesRun() == 0 && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    boards.settle();
    constexpr int kMilliseconds = 3000;
    for (auto _ : state) {
        boards.fake().takeCalls();
        const long cyclesBefore = boards.cockpit().updateCycle().cyclesRun();
        const double cpuBefore = threadCpuSeconds();
        QElapsedTimer clock;
        clock.start();
        QEventLoop flying;
        QTimer::singleShot(kMilliseconds, Qt::PreciseTimer, &flying, &QEventLoop::quit);
        flying.exec();
        const qsizetype calls = QByteArray(boards.fake().takeCalls()).count('\n');
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        state.counters["cycles_per_s"] =
            double(boards.cockpit().updateCycle().cyclesRun() - cyclesBefore) / seconds;
        state.counters["usb_calls_per_s"] = double(calls) / seconds;
        state.counters["cpu_percent"] = (threadCpuSeconds() - cpuBefore) / seconds * 100;
    }
    state.SetLabel(QStringLiteral("%1 frames/s, %2")
                       .arg(framesPerSecond)
                       .arg(state.range(1) != 0 ? "on arrival" : "timer alone")
                       .toStdString());
}
BENCHMARK(ArrivalCost)
    ->Args({20, 1})
    ->Args({20, 0})
    ->Args({50, 1})
    ->Args({50, 0})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
