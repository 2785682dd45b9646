#include "TcpFrameServer.h"

#include <QTcpSocket>

namespace glimrow::sim {

TcpFrameServer::TcpFrameServer(FrameSource source, int framesPerSecond, QObject* parent)
    : QObject(parent), m_source(std::move(source))
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* client = m_server.nextPendingConnection()) {
            m_clients.append(client);
            connect(client, &QTcpSocket::disconnected, this, [this, client] {
                m_clients.removeAll(client);
                client->deleteLater();
            });
        }
    });
    m_timer.setInterval(1000 / qBound(1, framesPerSecond, 1000));
    connect(&m_timer, &QTimer::timeout, this, &TcpFrameServer::sendFrame);
}

TcpFrameServer::~TcpFrameServer()
{
    // The clients go with the listening server, after the list of them: they must not report
    // their disconnection to a list that is already gone.
    for (QTcpSocket* client : std::as_const(m_clients))
        client->disconnect(this);
}

bool TcpFrameServer::listen(const QHostAddress& address, quint16 port)
{
    if (!m_server.listen(address, port))
        return false;
    if (m_source)
        m_timer.start();
    return true;
}

void TcpFrameServer::sendFrame()
{
    if (!m_clients.isEmpty())
        send(m_source());
}

void TcpFrameServer::send(const QByteArray& bytes)
{
    for (QTcpSocket* client : std::as_const(m_clients)) {
        // A client that does not keep up is not sent more than a few frames ahead.
        if (client->bytesToWrite() < 16 * qMax<qsizetype>(bytes.size(), 100))
            client->write(bytes);
    }
}

} // namespace glimrow::sim
