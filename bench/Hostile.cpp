// glimrow_bench_hostile KIND PORT [AMOUNT] [COOKIE]: what a hostile client sends the dashboard
// on 127.0.0.1:PORT, for scripts/run-benchmarks.sh to watch the program's memory while it does.
//   body MB        a POST whose body is MB megabytes, with its length announced
//   chunked MB     a POST of MB megabytes in chunks
//   headers MB     MB megabytes of headers
//   slow COUNT     COUNT connections sending one byte of a request head a second, for 10 s
//   frames MILLION a page (COOKIE carries the token) sending MILLION million empty frames of one
//                  message
// Each ends when it has sent all or the program stops taking it (3 s without progress), and
// prints how far it got.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kStalledMs = 3000;

QByteArray head(const QByteArray& port, const QByteArray& more)
{
    return "POST /api/state HTTP/1.1\r\nHost: 127.0.0.1:" + port + "\r\n" + more;
}

// Sends `piece` again and again until `total` bytes went or the other side stops taking them.
qint64 pour(QTcpSocket& socket, const QByteArray& piece, qint64 total)
{
    qint64 sent = 0;
    while (sent < total && socket.state() == QAbstractSocket::ConnectedState) {
        socket.write(piece);
        while (socket.bytesToWrite() > 0) {
            if (!socket.waitForBytesWritten(kStalledMs))
                return sent + piece.size() - socket.bytesToWrite();
        }
        sent += piece.size();
    }
    return sent;
}

int report(const char* kind, qint64 sent)
{
    std::printf("%s: %.1f MB sent\n", kind, double(sent) / 1e6);
    return 0;
}

// A WebSocket handshake, then `frames` empty continuation frames after an unfinished text frame.
int frames(QTcpSocket& socket, const QByteArray& port, const QByteArray& cookie, qint64 count)
{
    socket.write("GET /ws HTTP/1.1\r\nHost: 127.0.0.1:" + port +
                 "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: "
                 "dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\nOrigin: "
                 "http://127.0.0.1:" +
                 port + "\r\nCookie: " + cookie + "\r\n\r\n");
    QByteArray answer;
    while (!answer.contains("\r\n\r\n") && socket.waitForReadyRead(kStalledMs))
        answer += socket.readAll();
    if (!answer.startsWith("HTTP/1.1 101")) {
        std::printf("frames: the upgrade was refused: %s\n", answer.left(40).constData());
        return 1;
    }
    // Masked, as a client's must be: FIN clear, opcode, mask bit with length 0, the mask.
    const QByteArray start("\x01\x80\0\0\0\0", 6);
    const QByteArray continuation("\x00\x80\0\0\0\0", 6);
    socket.write(start);
    QByteArray piece;
    for (int frame = 0; frame < 100000; ++frame)
        piece += continuation;
    return report("frames", pour(socket, piece, count * continuation.size()) / continuation.size() *
                                continuation.size());
}

int slow(const QByteArray& port, int count)
{
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int index = 0; index < count; ++index) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QStringLiteral("127.0.0.1"), quint16(port.toInt()));
        sockets.push_back(std::move(socket));
    }
    const QByteArray request = head(port, "X-Slow: ");
    int open = 0;
    for (int second = 0; second < 10; ++second) {
        open = 0;
        for (auto& socket : sockets) {
            if (socket->state() == QAbstractSocket::ConnectedState) {
                socket->write(request.mid(second, 1));
                socket->flush();
                ++open;
            }
        }
        QElapsedTimer wait;
        wait.start();
        while (wait.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    }
    std::printf("slow: %d of %d connections still open after 10 s\n", open, count);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 4) {
        std::fprintf(stderr, "usage: glimrow_bench_hostile body|chunked|headers|slow|frames "
                             "PORT AMOUNT [COOKIE]\n");
        return 2;
    }
    const QString kind = arguments[1];
    const QByteArray port = arguments[2].toLatin1();
    const qint64 amount = arguments[3].toLongLong();
    if (kind == QLatin1StringView("slow"))
        return slow(port, int(amount));
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(port.toInt()));
    if (!socket.waitForConnected(kStalledMs))
        return report(qPrintable(kind), 0);
    const qint64 bytes = amount * 1000 * 1000;
    if (kind == QLatin1StringView("body")) {
        socket.write(head(port, "Content-Length: " + QByteArray::number(bytes) + "\r\n\r\n"));
        return report("body", pour(socket, QByteArray(1024 * 1024, 'x'), bytes));
    }
    if (kind == QLatin1StringView("chunked")) {
        socket.write(head(port, "Transfer-Encoding: chunked\r\n\r\n"));
        const QByteArray chunk = "100000\r\n" + QByteArray(0x100000, 'x') + "\r\n";
        return report("chunked", pour(socket, chunk, bytes));
    }
    if (kind == QLatin1StringView("headers")) {
        socket.write(head(port, {}));
        return report("headers",
                      pour(socket, "X-Filler: " + QByteArray(1000, 'x') + "\r\n", bytes));
    }
    if (kind == QLatin1StringView("frames"))
        return frames(socket, port, arguments.value(4).toLatin1(), amount * 1000 * 1000);
    std::fprintf(stderr, "glimrow_bench_hostile: no kind %s\n", qPrintable(kind));
    return 2;
}
