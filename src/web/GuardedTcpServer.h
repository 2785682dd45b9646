#pragma once

// The dashboard's TCP connections, each from its accept to its close, guarded before Qt's HTTP
// server reads a byte of them:
// - the count of connections open at once follows the sockets really connected, whatever Qt
//   does with a socket after a WebSocket upgrade (Qt 6.4 never destroys one);
// - each socket holds at most maxBufferedBytes unread, so a request that is larger never
//   completes and is never kept whole in memory;
// - each request's head (request line and headers) is looked at as it arrives: a head over
//   maxHeadBytes, a body announced over maxBodyBytes, or a chunked body is refused with its
//   status and the connection closed;
// - a connection that has not sent a whole head within headWithinMs of its start or of its
//   last request is closed, unless it has become a page.

#include <QElapsedTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

#include <memory>
#include <vector>

class QTcpSocket;
class QWebSocket;

namespace glimrow {

class GuardedTcpServer final : public QTcpServer {
    Q_OBJECT

public:
    struct Limits {
        int maxConnections = 64;
        qsizetype maxHeadBytes = 16 * 1024;
        qsizetype maxBodyBytes = 16 * 1024;
        qint64 maxBufferedBytes = 64 * 1024;
        int headWithinMs = 3000;
    };

    explicit GuardedTcpServer(Limits limits, QObject* parent = nullptr);

    int openConnections();
    // The connection from that address and port, if it is open.
    QTcpSocket* connectionFrom(const QHostAddress& address, quint16 port);
    // The connection that `page` came over is that page's now: it lives as long as the page.
    void becamePage(QWebSocket* page);

signals:
    // A kind of trouble and what to log about it.
    void trouble(const QString& kind, const QString& text);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Connection {
        QPointer<QTcpSocket> socket;
        QElapsedTimer headClock; // since the connection or its last request began
        QByteArray head;         // the head being read
        bool headWhole = false;
        bool isPage = false;
        QPointer<QWebSocket> page;
    };
    // Reads what arrived on `connection` before Qt's server does.
    void look(Connection& connection);
    // Why a whole head may not be read on (with its status), or 0 and "" when it may.
    std::pair<int, QString> headRefusal(const QByteArray& head) const;
    void refuse(QTcpSocket* socket, int status, const QString& why);
    void sweep();
    Connection* find(QTcpSocket* socket);

    Limits m_limits;
    std::vector<std::unique_ptr<Connection>> m_connections;
    QTimer m_sweep;
};

} // namespace glimrow
