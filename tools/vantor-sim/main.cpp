// vantor-sim: a stand-in for the Vantor-A data server, for demos and tests. It serves one
// scripted, repeating flight, or a recording made by glimrow --record, as the "@" stream over
// TCP and as the flight-data object Telvox.clsFlightData on the session bus.

#include "FlightDataService.h"
#include "FlightScript.h"
#include "Replay.h"
#include "TcpFrameServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <memory>

using namespace glimrow::sim;

namespace {

// A window of `length` seconds that opens every `every` seconds (never when `every` is 0).
struct Outage {
    double every = 0;
    double length = 0;
    bool covers(double seconds) const
    {
        return every > 0 && length > 0 && seconds > every && std::fmod(seconds, every) < length;
    }
};

double optionNumber(const QCommandLineParser& options, const QString& name)
{
    bool ok = false;
    const double value = options.value(name).toDouble(&ok);
    if (!ok || value < 0) {
        std::fprintf(stderr, "vantor-sim: --%s needs a number of 0 or more\n", qPrintable(name));
        std::exit(2);
    }
    return value;
}

// Says each damaged line of a recording (the first few; after that only how many), and its end.
void reportReplay(Replay& replay, const QString& file, bool loop)
{
    constexpr int kReported = 20;
    QObject::connect(&replay, &Replay::damagedLine, [file](qint64 number, const QString& why) {
        static int reported = 0;
        if (++reported <= kReported) {
            std::fprintf(stderr, "vantor-sim: %s:%lld: a damaged line, skipped: %s\n",
                         qPrintable(file), static_cast<long long>(number), qPrintable(why));
        }
    });
    QObject::connect(&replay, &Replay::longWait, [file](qint64 number, qint64 waitMs) {
        std::fprintf(stderr, "vantor-sim: %s:%lld: the next arrival is %.0f s away\n",
                     qPrintable(file), static_cast<long long>(number), double(waitMs) / 1000);
    });
    QObject::connect(&replay, &Replay::reachedEnd, [file, loop](qint64 played, int damaged) {
        std::fprintf(stderr,
                     "vantor-sim: %s: the end of the recording (%lld arrivals played, %d damaged "
                     "lines skipped)%s\n",
                     qPrintable(file), static_cast<long long>(played), damaged,
                     loop ? "; from the start again" : "; its last state stays");
    });
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantor-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GLIMROW_VERSION));

    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("Stand-in Vantor-A data server: a scripted flight over TCP and D-Bus."));
    options.addHelpOption();
    options.addVersionOption();
    const auto add = [&options](const char* name, const char* help, const char* value,
                                const char* defaultValue) {
        options.addOption(QCommandLineOption(QLatin1StringView(name), QLatin1StringView(help),
                                             QLatin1StringView(value),
                                             QLatin1StringView(defaultValue)));
    };
    add("address", "Address to listen on for the stream (default 127.0.0.1).", "address",
        "127.0.0.1");
    add("port", "TCP port of the stream (default 2727).", "port", "2727");
    add("rate", "Frames per second sent to each client (default 20).", "rate", "20");
    add("inactive-every", "Every N seconds, report the server inactive ...", "N", "0");
    add("inactive-for", "... for M seconds.", "M", "0");
    add("dbus-outage-every", "Every N seconds, take the flight-data object off the bus ...", "N",
        "0");
    add("dbus-outage-for", "... for M seconds.", "M", "0");
    add("duration", "Stop after S seconds (default: run until stopped).", "S", "0");
    add("replay", "Serve the recording FILE (made by glimrow --record) instead of the flight.",
        "FILE", "");
    add("speed", "With --replay: play FACTOR times as fast (default 1).", "FACTOR", "1");
    options.addOption(QCommandLineOption(QStringLiteral("loop"),
                                         QStringLiteral("With --replay: start again at its end.")));
    options.addOption(
        QCommandLineOption(QStringLiteral("no-tcp"), QStringLiteral("Serve no stream.")));
    options.addOption(QCommandLineOption(QStringLiteral("no-dbus"),
                                         QStringLiteral("Offer no flight-data object.")));
    options.process(app);

    const Outage inactive{optionNumber(options, QStringLiteral("inactive-every")),
                          optionNumber(options, QStringLiteral("inactive-for"))};
    const Outage busOutage{optionNumber(options, QStringLiteral("dbus-outage-every")),
                           optionNumber(options, QStringLiteral("dbus-outage-for"))};
    const double duration = optionNumber(options, QStringLiteral("duration"));

    QElapsedTimer clock;
    clock.start();
    const auto seconds = [&clock] { return double(clock.elapsed()) / 1000.0; };

    // A recording keeps its own timing; the stream then sends what it holds, when it holds it.
    std::unique_ptr<Replay> replay;
    if (options.isSet(QStringLiteral("replay"))) {
        const double speed = optionNumber(options, QStringLiteral("speed"));
        if (!(speed > 0) || speed > 1000) {
            std::fprintf(stderr, "vantor-sim: --speed needs a factor above 0, up to 1000\n");
            return 2;
        }
        replay = std::make_unique<Replay>(options.value(QStringLiteral("replay")), speed,
                                          options.isSet(QStringLiteral("loop")));
        if (const QString problem = replay->open(); !problem.isEmpty()) {
            std::fprintf(stderr, "vantor-sim: %s: %s\n",
                         qPrintable(options.value(QStringLiteral("replay"))), qPrintable(problem));
            return 1;
        }
    }
    const auto record = [&] {
        QVariantMap now = replay ? replay->record() : FlightScript::recordAt(seconds());
        if (inactive.covers(seconds()))
            now[QStringLiteral("VantorAy")] = false;
        return now;
    };

    TcpFrameServer stream(
        replay ? TcpFrameServer::FrameSource() : [&] { return FlightScript::frameFor(record()); },
        int(optionNumber(options, QStringLiteral("rate"))));
    if (replay) {
        reportReplay(*replay, options.value(QStringLiteral("replay")),
                     options.isSet(QStringLiteral("loop")));
        QObject::connect(replay.get(), &Replay::streamBytes, &stream, &TcpFrameServer::send);
    }
    if (!options.isSet(QStringLiteral("no-tcp"))) {
        const QHostAddress address(options.value(QStringLiteral("address")));
        const double portNumber = optionNumber(options, QStringLiteral("port"));
        // 0 asks for any free port; anything past 65535 would wrap round to another port.
        if (portNumber > 65535 || portNumber != double(qint64(portNumber))) {
            std::fprintf(stderr, "vantor-sim: --port needs a port number, 1 to 65535 (0: any "
                                 "free port)\n");
            return 2;
        }
        const auto port = quint16(portNumber);
        // A port already taken (another server, an earlier copy) costs the stream only: the
        // flight-data object is still offered.
        if (address.isNull() || !stream.listen(address, port)) {
            std::fprintf(stderr, "vantor-sim: no stream, cannot listen on %s:%u: %s\n",
                         qPrintable(options.value(QStringLiteral("address"))), port,
                         qPrintable(address.isNull() ? QStringLiteral("not an address")
                                                     : stream.errorString()));
        } else {
            std::printf("vantor-sim: stream on %s:%u\n", qPrintable(address.toString()),
                        stream.port());
        }
    }

    FlightDataService service(record);
    QObject::connect(&service, &FlightDataService::closed, [] {
        std::printf("vantor-sim: a client closed the flight-data object\n");
        std::fflush(stdout);
    });
    QDBusConnection bus = QDBusConnection::sessionBus();
    QTimer busWatch;
    bool registered = false; // outlives the watch below, which reads and writes it
    if (!options.isSet(QStringLiteral("no-dbus"))) {
        QString error;
        if (!bus.isConnected() || !service.registerOn(bus, &error)) {
            std::fprintf(stderr, "vantor-sim: no flight-data object on the session bus: %s\n",
                         qPrintable(bus.isConnected() ? error : bus.lastError().message()));
            return 1;
        }
        std::printf("vantor-sim: flight-data object Telvox.clsFlightData on the session bus\n");
        registered = true;
        service.announceChanges(int(optionNumber(options, QStringLiteral("rate"))));
        QObject::connect(&busWatch, &QTimer::timeout, [&] {
            const bool wanted = !busOutage.covers(seconds());
            if (wanted == registered)
                return;
            if (wanted)
                registered = service.registerOn(bus);
            else
                service.unregisterFrom(bus);
            registered = wanted && registered;
            std::printf("vantor-sim: flight-data object %s\n", registered ? "back" : "gone");
            std::fflush(stdout);
        });
        busWatch.start(100);
    }
    std::fflush(stdout);

    if (replay)
        replay->start();
    if (duration > 0)
        QTimer::singleShot(int(duration * 1000), &app, &QCoreApplication::quit);
    return app.exec();
}
