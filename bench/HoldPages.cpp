// glimrow_bench_pages PORT COUNT: keeps COUNT dashboard pages open on 127.0.0.1:PORT, reading
// what they are sent, until it is ended; for measuring the program's CPU with pages connected.
// glimrow_bench_pages PORT reload COUNT: one page sends "reload" COUNT times as fast as it can,
// then ends; for measuring the program's memory under a flood of reloads.

#include <QCoreApplication>
#include <QTimer>
#include <QWebSocket>

#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3 && !(arguments.size() == 4 && arguments[2] == "reload")) {
        std::fprintf(stderr, "usage: glimrow_bench_pages PORT COUNT | PORT reload COUNT\n");
        return 2;
    }
    const QString port = arguments[1];
    const auto pageRequest = [port] {
        QNetworkRequest request(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
        request.setRawHeader("Origin", "http://127.0.0.1:" + port.toLatin1());
        return request;
    };
    if (arguments.size() == 4) {
        QWebSocket flood;
        QObject::connect(&flood, &QWebSocket::connected, &flood, [&flood, &arguments] {
            for (int reload = 0; reload < arguments[3].toInt(); ++reload)
                flood.sendTextMessage(QStringLiteral(R"({"action":"reload"})"));
            flood.close(); // after what is queued has gone
        });
        QObject::connect(&flood, &QWebSocket::disconnected, &app, &QCoreApplication::quit);
        flood.open(pageRequest());
        return QCoreApplication::exec();
    }
    std::vector<std::unique_ptr<QWebSocket>> pages;
    // Each page's socket is opened again when it closes, as the page's script does.
    for (int index = 0; index < arguments[2].toInt(); ++index) {
        auto page = std::make_unique<QWebSocket>();
        QWebSocket* socket = page.get();
        const auto open = [socket, pageRequest] { socket->open(pageRequest()); };
        QObject::connect(socket, &QWebSocket::disconnected, socket,
                         [open] { QTimer::singleShot(500, open); });
        open();
        pages.push_back(std::move(page));
    }
    return QCoreApplication::exec();
}
