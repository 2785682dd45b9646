#include "web/HttpServerAdapter.h"

#include <QHttpServerRequest>
#include <QTcpSocket>
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
#include <QHttpServerWebSocketUpgradeResponse>
#endif

namespace glimrow {

void HttpServerAdapter::closeAfterAnswer(QTcpSocket* socket)
{
    if (socket)
        QMetaObject::invokeMethod(socket, &QTcpSocket::disconnectFromHost, Qt::QueuedConnection);
}

#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)

// Qt 6.8 asks its verifiers about every upgrade before any handler sees it.
HttpServerAdapter::HttpServerAdapter()
{
    addWebSocketUpgradeVerifier(this, [this](const QHttpServerRequest& request) {
        if (const auto refused = upgradeRefusal(request)) {
            closeAfterAnswer(connectionOf(request.remoteAddress(), request.remotePort()));
            return QHttpServerWebSocketUpgradeResponse::deny(int(refused->statusCode()),
                                                             refused->data());
        }
        return QHttpServerWebSocketUpgradeResponse::accept();
    });
}

QByteArray HttpServerAdapter::header(const QHttpServerRequest& request, QByteArrayView name)
{
    return request.headers().value(name).toByteArray();
}

void HttpServerAdapter::addHeader(QHttpServerResponse& response, const QByteArray& name,
                                  const QByteArray& value)
{
    QHttpHeaders headers = response.headers();
    headers.append(name, value);
    response.setHeaders(std::move(headers));
}

bool HttpServerAdapter::handleRequest(const QHttpServerRequest& request,
                                      QHttpServerResponder& responder)
{
    QHttpServerResponse response = answer(request);
    const int status = int(response.statusCode());
    responder.sendResponse(std::move(response));
    if (closesAfter(request, status))
        closeAfterAnswer(connectionOf(request.remoteAddress(), request.remotePort()));
    return true;
}

// Never reached: every request is answered above, every upgrade by the verifier.
void HttpServerAdapter::missingHandler(const QHttpServerRequest& request,
                                       QHttpServerResponder& responder)
{
    handleRequest(request, responder);
}

#else

HttpServerAdapter::HttpServerAdapter() = default;

QByteArray HttpServerAdapter::header(const QHttpServerRequest& request, QByteArrayView name)
{
    for (const auto& [key, value] : request.headers()) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

void HttpServerAdapter::addHeader(QHttpServerResponse& response, const QByteArray& name,
                                  const QByteArray& value)
{
    response.addHeader(name, value);
}

namespace {

bool isUpgrade(const QHttpServerRequest& request)
{
    return HttpServerAdapter::header(request, "Upgrade")
               .compare("websocket", Qt::CaseInsensitive) == 0;
}

} // namespace

// Qt 6.4 hands an upgrade to its WebSocket server when the handler says true, and calls
// missingHandler() when it says false.
bool HttpServerAdapter::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    if (isUpgrade(request))
        return !upgradeRefusal(request);
    const QHttpServerResponse response = answer(request);
    response.write(makeResponder(request, socket));
    if (closesAfter(request, int(response.statusCode())))
        closeAfterAnswer(socket);
    return true;
}

void HttpServerAdapter::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    std::optional<QHttpServerResponse> response = upgradeRefusal(request);
    if (!response)
        response.emplace(answer(request));
    response->write(makeResponder(request, socket));
    if (closesAfter(request, int(response->statusCode())))
        closeAfterAnswer(socket);
}

#endif

} // namespace glimrow
