#pragma once

// The window started in a scratch folder on the example configuration, with the virtual boards,
// its flight-data object in memory holding vantor-sim's record (DCOM), or the stream on a port.

#include "support/MemoryFlightData.h"

#include "FlightScript.h"
#include "TcpFrameServer.h"
#include "app/frmGlimrow.h"
#include "data/ArrivalTrigger.h"
#include "phidget/virtual/VirtualHardware.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <memory>
#include <vector>

namespace glimrow::bench {

class Quiet : public MessageReporter {
public:
    void showMessage(const QString&, const QString&) override {}
};

struct StartedWindow {
    explicit StartedWindow(const QByteArray& connection, quint16 port = 2727)
    {
        QFile example(GLIMROW_EXAMPLES_DIR "/Glimrow.cfg");
        example.open(QIODevice::ReadOnly);
        QByteArray config = example.readAll();
        config.replace("[COMPREF]\r\nDCOM", "[COMPREF]\r\n" + connection);
        config.replace("[TCPIP-PORT]\r\n2727", "[TCPIP-PORT]\r\n" + QByteArray::number(port));
        QFile file(dir.filePath("Glimrow.cfg"));
        file.open(QIODevice::WriteOnly);
        file.write(config);
        file.close();

        const QVariantMap record = sim::FlightScript::recordAt(42.0);
        for (const FlightDataFieldInfo& field : flightDataFields())
            data->set(field.field, record.value(QLatin1StringView(field.name)));
        hardware.addDefaultBoards();
        CockpitSettings settings;
        settings.configFilePath = file.fileName();
        settings.instanceLockPath = dir.filePath("lock");
        settings.flightDataFactory = [this] {
            return std::unique_ptr<FlightDataObject>(std::exchange(data, nullptr));
        };
        settings.openPhidgets = [this](PhidgetManager& manager) { hardware.open(manager); };
        window = std::make_unique<frmGlimrow>(quiet, settings);
        window->Form_Load();
        QCoreApplication::processEvents();
    }

    QTemporaryDir dir;
    Quiet quiet;
    test::MemoryFlightData* data = new test::MemoryFlightData; // handed to the window
    VirtualHardware hardware;
    std::unique_ptr<frmGlimrow> window;
};

// A stream on a loopback port at vantor-sim's 20 frames a second, whose LightBits bit 0 a
// benchmark turns on and off.
struct LightBitStream {
    LightBitStream() { server.listen(QHostAddress::LocalHost, 0); }

    QByteArray frame()
    {
        record[QStringLiteral("LightBits")] = lightBits;
        return sim::FlightScript::frameFor(record);
    }
    // A new value leaves at once, as a data server sends a change.
    void setLightBits(std::int32_t bits)
    {
        lightBits = bits;
        server.send(frame());
    }

    std::int32_t lightBits = 0;
    QVariantMap record = sim::FlightScript::recordAt(0);
    sim::TcpFrameServer server{[this] { return frame(); }, 20};
};

constexpr int kChangesApartMs = int(ArrivalTrigger::kMinimumGapNs / 1'000'000);

// Until the window's data server is active, for at most 5 s.
inline void waitUntilActive(StartedWindow& cockpit)
{
    QElapsedTimer clock;
    clock.start();
    while (!cockpit.window->cockpit().cache().VantorAy && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

// Each iteration toggles the stream's bit at a random moment within `spreadMs` and sends it,
// and times from the frame leaving until `shows(lit)` holds (at most `limitMs`); p50 and p99 go
// to the counters. Changes come at least the cycle's minimum gap apart, as they do from a data
// server at its 20 to 50 frames a second: a second change within the gap waits it out.
template <typename Shows>
void timeLightBitToggles(benchmark::State& state, LightBitStream& stream, int spreadMs, int limitMs,
                         Shows shows)
{
    std::vector<double> latencies;
    QRandomGenerator random(7);
    QElapsedTimer clock;
    for (auto _ : state) {
        clock.start();
        const qint64 pause = kChangesApartMs + random.bounded(spreadMs);
        while (clock.elapsed() < pause)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        const bool wanted = !(stream.lightBits & 1);
        clock.restart();
        stream.setLightBits(wanted ? 1 : 0);
        while (!shows(wanted) && clock.elapsed() < limitMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        latencies.push_back(double(clock.nsecsElapsed()) / 1e6);
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
    std::sort(latencies.begin(), latencies.end());
    const auto percentile = [&](double p) {
        return latencies.empty() ? 0.0
                                 : latencies[std::min(latencies.size() - 1,
                                                      std::size_t(p * double(latencies.size())))];
    };
    state.counters["p50_ms"] = percentile(0.50);
    state.counters["p99_ms"] = percentile(0.99);
}

} // namespace glimrow::bench
