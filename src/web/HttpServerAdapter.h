#pragma once

// What Qt HTTP Server does differently between Qt 6.4 (Debian 12, a technology preview then)
// and Qt 6.8 (Debian 13), kept here so that the dashboard's server reads as one piece of code:
// the handlers' signatures, how a WebSocket upgrade is let through or refused, how headers are
// read and added, and how a response is sent.
//
// A subclass answers plain requests with answer() and says with upgradeRefusal() whether a
// WebSocket upgrade may go ahead; accepted upgrades come out as newWebSocketConnection().

#include <QAbstractHttpServer>
#include <QHttpServerResponder>
#include <QHttpServerResponse>

#include <optional>

namespace glimrow {

class HttpServerAdapter : public QAbstractHttpServer {
    Q_OBJECT

public:
    HttpServerAdapter();

    // A request header's value, its name compared without regard to case; empty when absent.
    static QByteArray header(const QHttpServerRequest& request, QByteArrayView name);
    static void addHeader(QHttpServerResponse& response, const QByteArray& name,
                          const QByteArray& value);

protected:
    virtual QHttpServerResponse answer(const QHttpServerRequest& request) = 0;
    // The answer to an upgrade that may not go ahead; nothing when it may.
    virtual std::optional<QHttpServerResponse>
    upgradeRefusal(const QHttpServerRequest& request) = 0;
    // The connection a request came over (Qt 6.8 does not say), to close it after its answer.
    virtual QTcpSocket* connectionOf(const QHostAddress& address, quint16 port) = 0;
    // Whether the connection closes once `request` is answered with `status`.
    virtual bool closesAfter(const QHttpServerRequest& request, int status) const = 0;

private:
    // Closes `socket` once what was written to it has gone, after Qt's server is done with it.
    static void closeAfterAnswer(QTcpSocket* socket);

protected:
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    bool handleRequest(const QHttpServerRequest& request, QHttpServerResponder& responder) override;
    void missingHandler(const QHttpServerRequest& request,
                        QHttpServerResponder& responder) override;
#else
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;
#endif
};

} // namespace glimrow
