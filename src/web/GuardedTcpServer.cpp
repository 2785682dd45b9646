#include "web/GuardedTcpServer.h"

#include <QRegularExpression>
#include <QTcpSocket>
#include <QWebSocket>

#include <algorithm>

namespace glimrow {

namespace {

constexpr int kSweepMs = 250;

const char* reasonOf(int status)
{
    switch (status) {
    case 400:
        return "Bad Request";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    default:
        return "Request Header Fields Too Large";
    }
}

// The header lines of a whole head (after its request line), each as name and value.
std::vector<std::pair<QByteArray, QByteArray>> headerLines(const QByteArray& head)
{
    std::vector<std::pair<QByteArray, QByteArray>> lines;
    const QList<QByteArray> raw = head.split('\n');
    for (qsizetype at = 1; at < raw.size(); ++at) {
        const qsizetype colon = raw[at].indexOf(':');
        if (colon > 0)
            lines.emplace_back(raw[at].first(colon).trimmed().toLower(),
                               raw[at].sliced(colon + 1).trimmed());
    }
    return lines;
}

// One host, a name or an address, with an optional port: what a Host header must be.
bool isOneHost(const QByteArray& value)
{
    static const QRegularExpression oneHost(
        QStringLiteral(R"(^(\[[0-9A-Fa-f:.]+\]|[A-Za-z0-9.-]+)(:[0-9]{1,5})?$)"));
    return oneHost.match(QString::fromLatin1(value)).hasMatch();
}

} // namespace

GuardedTcpServer::GuardedTcpServer(Limits limits, QObject* parent)
    : QTcpServer(parent), m_limits(limits)
{
    m_sweep.setInterval(kSweepMs);
    connect(&m_sweep, &QTimer::timeout, this, &GuardedTcpServer::sweep);
}

int GuardedTcpServer::openConnections()
{
    return int(std::count_if(m_connections.begin(), m_connections.end(), [](const auto& each) {
        return each->socket && each->socket->state() != QAbstractSocket::UnconnectedState;
    }));
}

void GuardedTcpServer::incomingConnection(qintptr descriptor)
{
    auto* socket = new QTcpSocket(this);
    socket->setSocketDescriptor(descriptor);
    if (openConnections() >= m_limits.maxConnections) {
        socket->abort();
        socket->deleteLater();
        emit trouble(QStringLiteral("connections"),
                     QStringLiteral("turned away connections beyond %1 open at once")
                         .arg(m_limits.maxConnections));
        return;
    }
    socket->setReadBufferSize(m_limits.maxBufferedBytes);
    auto connection = std::make_unique<Connection>();
    connection->socket = socket;
    connection->headClock.start();
    m_connections.push_back(std::move(connection));
    // Connected before Qt's server connects its own: each arrival is looked at first.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        if (Connection* arrivedOn = find(socket))
            look(*arrivedOn);
    });
    addPendingConnection(socket);
    if (!m_sweep.isActive())
        m_sweep.start();
}

GuardedTcpServer::Connection* GuardedTcpServer::find(QTcpSocket* socket)
{
    for (auto& connection : m_connections) {
        if (connection->socket == socket)
            return connection.get();
    }
    return nullptr;
}

void GuardedTcpServer::look(Connection& connection)
{
    QTcpSocket* socket = connection.socket;
    // Between two requests Qt's server holds no transaction: what is unread begins a request.
    // Within one it has read all that came before, so what is unread is new.
    if (!socket->isTransactionStarted()) {
        connection.head.clear();
        connection.headWhole = false;
    }
    if (connection.headWhole)
        return;
    connection.head += socket->peek(socket->bytesAvailable());
    const qsizetype end = connection.head.indexOf("\r\n\r\n");
    if (end < 0 && connection.head.size() > m_limits.maxHeadBytes)
        return refuse(socket, 431,
                      QStringLiteral("headers over %1 bytes").arg(m_limits.maxHeadBytes));
    if (end < 0)
        return;
    connection.head.truncate(end + 4);
    connection.headWhole = true;
    connection.headClock.restart();
    if (const auto [status, why] = headRefusal(connection.head); status != 0)
        refuse(socket, status, why);
}

std::pair<int, QString> GuardedTcpServer::headRefusal(const QByteArray& head) const
{
    if (head.size() > m_limits.maxHeadBytes)
        return {431, QStringLiteral("headers over %1 bytes").arg(m_limits.maxHeadBytes)};
    QByteArrayList hosts;
    for (const auto& [name, value] : headerLines(head)) {
        if (name == "host")
            hosts << value;
        if (name == "transfer-encoding")
            return {411, QStringLiteral("a body without its length")};
        bool isNumber = false;
        if (name == "content-length" && (value.toLongLong(&isNumber) > m_limits.maxBodyBytes ||
                                         !isNumber || value.startsWith('-')))
            return {413, QStringLiteral("a body over %1 bytes").arg(m_limits.maxBodyBytes)};
    }
    if (hosts.size() != 1 || !isOneHost(hosts[0]))
        return {400, QStringLiteral("a request without exactly one host")};
    // An absolute address must name the host the request is for.
    const QByteArray target = head.first(head.indexOf('\r')).split(' ').value(1);
    if (target.contains("://") &&
        target.sliced(target.indexOf("://") + 3).split('/').value(0) != hosts[0])
        return {400, QStringLiteral("an address that does not match its Host header")};
    return {0, {}};
}

void GuardedTcpServer::refuse(QTcpSocket* socket, int status, const QString& why)
{
    emit trouble(why,
                 QStringLiteral("refused %1 from %2").arg(why, socket->peerAddress().toString()));
    // Qt's server is not to read this request at all.
    disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    const QByteArray body = "Refused: " + why.toUtf8() + '\n';
    socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonOf(status) +
                  "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}

QTcpSocket* GuardedTcpServer::connectionFrom(const QHostAddress& address, quint16 port)
{
    for (auto& connection : m_connections) {
        QTcpSocket* socket = connection->socket;
        if (socket && socket->state() != QAbstractSocket::UnconnectedState &&
            socket->peerPort() == port && socket->peerAddress() == address)
            return socket;
    }
    return nullptr;
}

void GuardedTcpServer::becamePage(QWebSocket* page)
{
    QTcpSocket* socket = connectionFrom(page->peerAddress(), page->peerPort());
    if (Connection* connection = find(socket)) {
        connection->isPage = true;
        connection->page = page;
        disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    }
}

void GuardedTcpServer::sweep()
{
    std::erase_if(m_connections, [this](const std::unique_ptr<Connection>& connection) {
        QTcpSocket* socket = connection->socket;
        if (!socket)
            return true;
        if (socket->state() == QAbstractSocket::UnconnectedState) {
            if (!connection->isPage)
                return true; // Qt's server deletes it
            if (connection->page)
                return false; // the page still refers to it
            // Qt 6.4 leaves an upgraded socket to this server for good.
            if (socket->parent() == this)
                socket->deleteLater();
            return true;
        }
        if (!connection->isPage && connection->headClock.elapsed() > m_limits.headWithinMs) {
            emit trouble(QStringLiteral("slow"),
                         QStringLiteral("closed connections without a whole request within %1 s")
                             .arg(m_limits.headWithinMs / 1000.0));
            socket->abort();
        }
        return false;
    });
    if (m_connections.empty())
        m_sweep.stop();
}

} // namespace glimrow
