// The dashboard's cost: the window's time per update cycle at 10 ms polling with 10 pages
// connected against none (target: within 10 %), and the time from a stream frame to a page
// showing its lamp (target: p99 at most 150 ms).

#include "StartedWindow.h"

#include "app/frmGlimrow.h"
#include "phidget/virtual/VirtualHardware.h"
#include "web/Dashboard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QWebSocket>

#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>
#include <vector>

namespace {

using namespace glimrow;

// The started window with the dashboard on a loopback port.
struct DashboardWindow : bench::StartedWindow {
    explicit DashboardWindow(const QByteArray& connection, quint16 port = 2727)
        : StartedWindow(connection, port),
          dashboard(std::make_unique<Dashboard>(window->cockpit(), window->state()))
    {
        dashboard->start(WebListen{QHostAddress::LocalHost, 0}, {});
    }

    // A page: a WebSocket that keeps the newest PLED64-1 lamp 0 it was sent.
    struct Page {
        QWebSocket socket;
        QString lamp0;
    };
    std::vector<std::unique_ptr<Page>> openPages(int count)
    {
        std::vector<std::unique_ptr<Page>> pages;
        for (int index = 0; index < count; ++index) {
            auto page = std::make_unique<Page>();
            Page* raw = page.get();
            QObject::connect(
                &page->socket, &QWebSocket::textMessageReceived, [raw](const QString& text) {
                    const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
                    const QJsonObject parts = message.contains(QStringLiteral("state"))
                                                  ? message[QStringLiteral("state")]
                                                        .toObject()[QStringLiteral("parts")]
                                                        .toObject()
                                                  : message[QStringLiteral("parts")].toObject();
                    const QJsonValue lamps = parts[QStringLiteral("PLED64-1")];
                    if (lamps.isObject()) {
                        raw->lamp0 = lamps.toObject()[QStringLiteral("rows")]
                                         .toArray()
                                         .at(0)
                                         .toObject()[QStringLiteral("lamp")]
                                         .toString();
                    }
                });
            QNetworkRequest request(
                QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(dashboard->port())));
            request.setRawHeader("Origin",
                                 "http://127.0.0.1:" + QByteArray::number(dashboard->port()));
            page->socket.open(request);
            pages.push_back(std::move(page));
        }
        QElapsedTimer waited;
        waited.start();
        while (dashboard->pageCount() < count && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        return pages;
    }

    std::unique_ptr<Dashboard> dashboard;
};

// Cycles 10 ms apart with the lamps changing every cycle, with 10 pages (1) or none (0). The
// pages are another process, as browsers are; the rest of each period goes to the window's
// events, the pages' updates among them (and the cycle lets events run too).
void UpdateCycleWithPages(benchmark::State& state)
{
    DashboardWindow cockpit("DCOM");
    QProcess pages;
    if (state.range(0) != 0) {
        pages.start(GLIMROW_BENCH_PAGES, {QString::number(cockpit.dashboard->port()), "10"});
        QElapsedTimer waited;
        waited.start();
        while (cockpit.dashboard->pageCount() < 10 && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        if (cockpit.dashboard->pageCount() != 10) {
            state.SkipWithError("the pages did not connect");
            return;
        }
    }
    Cockpit& core = cockpit.window->cockpit();
    using Clock = std::chrono::steady_clock;
    int step = 0;
    for (auto _ : state) {
        // Every cycle lights another lamp: each page has something to be sent.
        core.TestOutput(CockpitGrid::PLED64_1, ++step % 32);
        const Clock::time_point start = Clock::now();
        core.updateCycle().run();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        while (Clock::now() - start < std::chrono::milliseconds(10))
            QCoreApplication::processEvents();
    }
    pages.kill();
    pages.waitForFinished();
    state.SetLabel(state.range(0) != 0 ? "10 pages" : "no page");
}
BENCHMARK(UpdateCycleWithPages)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(300)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

// Every part of the state written out, as for a page that has just connected: what the
// program's thread spends, ten times a second, when everything changes.
void WriteOutState(benchmark::State& state)
{
    DashboardWindow cockpit("DCOM");
    cockpit.window->cockpit().updateCycle().run();
    for (auto _ : state) {
        DashboardParts parts(cockpit.window->state());
        benchmark::DoNotOptimize(parts.changed());
    }
}
BENCHMARK(WriteOutState)->Unit(benchmark::kMicrosecond);

// A stream frame's light bit to a page being sent the lamp's new state, at 10 ms polling.
void FrameToPage(benchmark::State& state)
{
    bench::LightBitStream stream;
    DashboardWindow cockpit("TCP", stream.server.port());
    cockpit.window->setPollingInterval(10);
    const auto pages = cockpit.openPages(1);
    bench::waitUntilActive(cockpit);
    bench::timeLightBitToggles(state, stream, 100, 2000, [&](bool lit) {
        return pages.front()->lamp0 == (lit ? QStringLiteral("lit") : QStringLiteral("dark"));
    });
}
BENCHMARK(FrameToPage)->Iterations(100)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
