#pragma once

// Serves the "@" stream: every client that connects receives the current frame at a fixed
// rate, until it disconnects; or, without a frame source, whatever it is given to send.

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include <functional>

class QTcpSocket;

namespace glimrow::sim {

class TcpFrameServer : public QObject {
    Q_OBJECT

public:
    using FrameSource = std::function<QByteArray()>;

    TcpFrameServer(FrameSource source, int framesPerSecond, QObject* parent = nullptr);
    ~TcpFrameServer() override;

    bool listen(const QHostAddress& address, quint16 port);
    // Sends `bytes` to every client now.
    void send(const QByteArray& bytes);
    QString errorString() const { return m_server.errorString(); }
    quint16 port() const { return m_server.serverPort(); }
    int clientCount() const { return int(m_clients.size()); }

private:
    void sendFrame();

    FrameSource m_source;
    QTcpServer m_server;
    QTimer m_timer;
    QList<QTcpSocket*> m_clients;
};

} // namespace glimrow::sim
