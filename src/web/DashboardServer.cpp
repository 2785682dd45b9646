#include "web/DashboardServer.h"

#include "cockpit/Cockpit.h"
#include "web/GuardedTcpServer.h"
#include "web/WebToken.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaEnum>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>

namespace glimrow {

namespace {

using Status = QHttpServerResponder::StatusCode;

const QString kTokenCookie = QStringLiteral("glimrow-token");
constexpr qsizetype kMaxUrlBytes = 2048;
constexpr int kMaxFramesPerMessage = 16;

// The page's files, compiled in: nothing else can be asked for.
const struct {
    const char* path;
    const char* resource;
    const char* mimeType;
} kPageFiles[] = {
    {"/", ":/dashboard/index.html", "text/html; charset=utf-8"},
    {"/dashboard.css", ":/dashboard/dashboard.css", "text/css; charset=utf-8"},
    {"/dashboard.js", ":/dashboard/dashboard.js", "text/javascript; charset=utf-8"},
};

QString cookie(const QHttpServerRequest& request, const QString& name)
{
    const QString prefix = name + u'=';
    for (const QString& part :
         QString::fromLatin1(HttpServerAdapter::header(request, "Cookie")).split(u';')) {
        const QString trimmed = part.trimmed();
        if (trimmed.startsWith(prefix))
            return trimmed.sliced(prefix.size());
    }
    return {};
}

// The Host header's host: "localhost", "127.0.0.1", "::1".
QString hostOf(const QByteArray& hostHeader)
{
    const QString host = QString::fromLatin1(hostHeader);
    if (host.startsWith(u'[')) {
        const qsizetype close = host.indexOf(u']');
        return close < 0 ? host : host.sliced(1, close - 1);
    }
    const qsizetype colon = host.lastIndexOf(u':');
    return colon < 0 ? host : host.first(colon);
}

// The page, its files and its answers are never kept by a cache, never framed by another site
// and never tell another site the address they came from (it may hold the token).
QHttpServerResponse withPageHeaders(QHttpServerResponse response,
                                    const QByteArray& contentPolicy =
                                        "default-src 'self'; connect-src 'self'; img-src 'self' "
                                        "data:; frame-ancestors 'none'")
{
    HttpServerAdapter::addHeader(response, "Cache-Control", "no-store");
    HttpServerAdapter::addHeader(response, "X-Content-Type-Options", "nosniff");
    HttpServerAdapter::addHeader(response, "Referrer-Policy", "no-referrer");
    HttpServerAdapter::addHeader(response, "Content-Security-Policy", contentPolicy);
    return response;
}

// The page a browser gets without the token, or with a wrong one: it cannot load the
// dashboard's style sheet (that needs the token too), so it has its own, and nothing else.
QHttpServerResponse tokenPage(Status status, const QString& toldPerson, bool withBody)
{
    QFile resource(QStringLiteral(":/dashboard/refused.html"));
    QByteArray page;
    if (withBody && resource.open(QIODevice::ReadOnly))
        page = resource.readAll().replace("WHAT_HAPPENED", toldPerson.toUtf8());
    return withPageHeaders(
        QHttpServerResponse(QByteArrayLiteral("text/html; charset=utf-8"), page, status),
        "default-src 'none'; style-src 'unsafe-inline'; frame-ancestors 'none'");
}

// An answer to HEAD has the headers of GET and no body.
QHttpServerResponse plain(Status status, const QString& text, bool withBody = true)
{
    return withPageHeaders(QHttpServerResponse(QByteArrayLiteral("text/plain; charset=utf-8"),
                                               withBody ? text.toUtf8() + '\n' : QByteArray(),
                                               status));
}

} // namespace

struct DashboardServer::Page {
    QWebSocket* socket = nullptr;
    QString peer;
    std::array<quint64, CockpitState::kPartCount> sent{};
    qint64 queued = 0; // handed to the socket but not yet written out
    int frames = 0;    // of the message being received
};

DashboardServer::DashboardServer(Limits limits) : m_limits(limits)
{
    for (int part = 0; part < CockpitState::kPartCount; ++part)
        m_parts.at(std::size_t(part)).part = part;
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &DashboardServer::takePages);
}

DashboardServer::~DashboardServer()
{
    for (auto& [socket, page] : m_pages) {
        socket->disconnect(this);
        socket->close(QWebSocketProtocol::CloseCodeGoingAway, QStringLiteral("Glimrow ends"));
        delete socket;
    }
}

bool DashboardServer::listenOn(const WebListen& listen, const QString& token, QString* problem)
{
    GuardedTcpServer::Limits guards;
    guards.maxConnections = m_limits.maxConnections;
    guards.maxHeadBytes = guards.maxBodyBytes = m_limits.maxRequestBytes;
    guards.headWithinMs = m_limits.headWithinMs;
    auto server = std::make_unique<GuardedTcpServer>(guards);
    connect(server.get(), &GuardedTcpServer::trouble, this, &DashboardServer::sayOnce);
    if (!server->listen(listen.address, listen.port)) {
        *problem = server->errorString();
        return false;
    }
    m_listen = listen;
    m_token = token;
    m_port = server->serverPort();
    m_guard = server.get();
    bind(server.release());
    return true;
}

void DashboardServer::publish(const std::vector<WrittenPart>& parts)
{
    for (const WrittenPart& part : parts)
        m_parts.at(std::size_t(part.part)) = part;
    pushChanges();
}

std::optional<DashboardServer::Refusal> DashboardServer::refusal(const QHttpServerRequest& request,
                                                                 bool upgrade) const
{
    if (request.url().toEncoded().size() > kMaxUrlBytes)
        return Refusal{Status::UriTooLong, QStringLiteral("an over-long address")};
    if (request.body().size() > m_limits.maxRequestBytes)
        return Refusal{Status::PayloadTooLarge, QStringLiteral("an over-sized request")};
    const QByteArray host = header(request, "Host");
    // A page of another site that has its name resolve to 127.0.0.1 must not reach in.
    if (m_listen.isLoopback() && hostOf(host) != QLatin1StringView("localhost") &&
        !QHostAddress(hostOf(host)).isLoopback())
        return Refusal{Status::Forbidden, QStringLiteral("a request for another host")};
    if (!m_listen.isLoopback()) {
        QString given = request.query().queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded);
        if (given.isEmpty())
            given = cookie(request, kTokenCookie);
        if (given.isEmpty())
            return Refusal{Status::Unauthorized, QStringLiteral("a request without the token"),
                           QStringLiteral("This address has no access token.")};
        if (!WebToken::matches(given, m_token))
            return Refusal{Status::Forbidden, QStringLiteral("a request with a wrong token"),
                           QStringLiteral("The access token in this address is not this "
                                          "dashboard's: it was mistyped, or the token has been "
                                          "made anew since.")};
    }
    if (upgrade) {
        if (request.url().path() != QLatin1StringView("/ws"))
            return Refusal{Status::NotFound, QStringLiteral("a WebSocket for another path")};
        if (header(request, "Origin") != "http://" + host)
            return Refusal{Status::Forbidden, QStringLiteral("a WebSocket from another origin")};
        if (int(m_pages.size()) >= m_limits.maxPages)
            return Refusal{Status::ServiceUnavailable,
                           QStringLiteral("pages beyond %1 at once").arg(m_limits.maxPages)};
    }
    return std::nullopt;
}

std::optional<QHttpServerResponse>
DashboardServer::upgradeRefusal(const QHttpServerRequest& request)
{
    if (const auto refused = refusal(request, true))
        return refuse(*refused, request);
    return std::nullopt;
}

QHttpServerResponse DashboardServer::refuse(const Refusal& refused,
                                            const QHttpServerRequest& request, bool withBody)
{
    sayOnce(
        refused.why,
        QStringLiteral("refused %1 from %2").arg(refused.why, request.remoteAddress().toString()));
    const bool browser = header(request, "Accept").contains("text/html");
    QHttpServerResponse response =
        browser && !refused.toldPerson.isEmpty()
            ? tokenPage(refused.status, refused.toldPerson, withBody)
            : plain(refused.status, QStringLiteral("Refused: ") + refused.why, withBody);
    if (refused.status == Status::Unauthorized)
        addHeader(response, "WWW-Authenticate", "Glimrow-Token");
    return response;
}

QTcpSocket* DashboardServer::connectionOf(const QHostAddress& address, quint16 port)
{
    return m_guard ? m_guard->connectionFrom(address, port) : nullptr;
}

bool DashboardServer::closesAfter(const QHttpServerRequest& request, int status) const
{
    // A refused client gets no second try on the same connection: it would hold a place.
    return status >= 400 ||
           header(request, "Connection").toLower().split(',').contains(QByteArrayLiteral("close"));
}

QHttpServerResponse DashboardServer::answer(const QHttpServerRequest& request)
{
    const auto method = request.method();
    const bool withBody = method != QHttpServerRequest::Method::Head;
    if (const auto refused = refusal(request, false))
        return refuse(*refused, request, withBody);
    // Nothing is ever changed by a request: actions come over the WebSocket.
    if (method != QHttpServerRequest::Method::Get && method != QHttpServerRequest::Method::Head) {
        sayOnce(
            QStringLiteral("method"),
            QStringLiteral("refused a %1 request: only GET and HEAD are answered")
                .arg(QString::fromLatin1(
                    QMetaEnum::fromType<QHttpServerRequest::Method>().valueToKey(int(method)))));
        QHttpServerResponse response =
            plain(Status::MethodNotAllowed, QStringLiteral("Only GET and HEAD are answered"));
        addHeader(response, "Allow", "GET, HEAD");
        return response;
    }
    const QString path = request.url().path();
    if (path == QLatin1StringView("/api/state")) {
        return withPageHeaders(
            QHttpServerResponse(QByteArrayLiteral("application/json"),
                                withBody ? wholeDashboardState(m_parts) : QByteArray()));
    }
    if (path == QLatin1StringView("/ws"))
        return plain(Status::UpgradeRequired, QStringLiteral("This address takes a WebSocket"),
                     withBody);
    for (const auto& file : kPageFiles) {
        if (path != QLatin1StringView(file.path))
            continue;
        QFile resource(QString::fromLatin1(file.resource));
        if (!resource.open(QIODevice::ReadOnly))
            return plain(Status::InternalServerError, QStringLiteral("The page is missing"),
                         withBody);
        QHttpServerResponse response = withPageHeaders(QHttpServerResponse(
            QByteArray(file.mimeType), withBody ? resource.readAll() : QByteArray()));
        const QString given = request.query().queryItemValue(QStringLiteral("token"));
        if (!m_listen.isLoopback() && !given.isEmpty()) {
            // The page keeps the token where its scripts cannot read it and no other site's
            // request carries it.
            addHeader(response, "Set-Cookie",
                      QStringLiteral("%1=%2; Path=/; HttpOnly; SameSite=Strict; Max-Age=31536000")
                          .arg(kTokenCookie, m_token)
                          .toLatin1());
        }
        return response;
    }
    return plain(Status::NotFound, QStringLiteral("Not found"), withBody);
}

void DashboardServer::takePages()
{
    while (hasPendingWebSocketConnections()) {
        QWebSocket* socket = nextPendingWebSocketConnection().release();
        socket->setParent(this);
        // Upgrades asked for at the same moment all passed the count at their handshakes.
        if (int(m_pages.size()) >= m_limits.maxPages) {
            sayOnce(QStringLiteral("pages"),
                    QStringLiteral("turned away pages beyond %1 at once").arg(m_limits.maxPages));
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated,
                          QStringLiteral("too many pages; try again later"));
            socket->deleteLater();
            continue;
        }
        m_guard->becamePage(socket);
        socket->setMaxAllowedIncomingMessageSize(quint64(m_limits.maxMessageBytes));
        socket->setMaxAllowedIncomingFrameSize(quint64(m_limits.maxMessageBytes));
        auto page = std::make_unique<Page>();
        page->socket = socket;
        page->peer = socket->peerAddress().toString();
        Page& added = *page;
        m_pages.emplace(socket, std::move(page));
        m_pageCount = int(m_pages.size());
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, &added](const QString& message) { act(added, message); });
        connect(socket, &QWebSocket::binaryMessageReceived, this, [this, &added] {
            drop(added, QWebSocketProtocol::CloseCodeDatatypeNotSupported,
                 QStringLiteral("a binary message"));
        });
        // A message of endless empty frames costs the program though it holds no bytes.
        connect(
            socket, &QWebSocket::textFrameReceived, this,
            [this, &added](const QString&, bool isLastFrame) {
                added.frames = isLastFrame ? 0 : added.frames + 1;
                if (added.frames > kMaxFramesPerMessage)
                    drop(added, QWebSocketProtocol::CloseCodeTooMuchData,
                         QStringLiteral("a message in over %1 frames").arg(kMaxFramesPerMessage));
            });
        connect(socket, &QWebSocket::bytesWritten, this, [&added](qint64 written) {
            added.queued = std::max<qint64>(0, added.queued - written);
        });
        connect(socket, &QWebSocket::disconnected, this, [this, socket] {
            if (socket->closeCode() == QWebSocketProtocol::CloseCodeTooMuchData) {
                sayOnce(QStringLiteral("too big"),
                        QStringLiteral("dropped a page that sent a message over %1 bytes")
                            .arg(m_limits.maxMessageBytes));
            }
            // Nothing the socket still says may reach its page once it is gone. The page leaves
            // the list after this turn: this may run inside a loop over the list.
            socket->disconnect(this);
            QMetaObject::invokeMethod(
                this,
                [this, socket] {
                    m_pages.erase(socket);
                    m_pageCount = int(m_pages.size());
                    socket->deleteLater();
                },
                Qt::QueuedConnection);
        });
        for (const WrittenPart& part : m_parts)
            added.sent.at(std::size_t(part.part)) = part.revision;
        send(added, "{\"type\":\"state\",\"state\":" + wholeDashboardState(m_parts) + '}');
    }
}

void DashboardServer::send(Page& page, const QByteArray& message)
{
    page.queued += page.socket->sendTextMessage(QString::fromUtf8(message));
    // Written now, in this turn of the loop, rather than in one more wake-up for each page.
    page.socket->flush();
}

void DashboardServer::pushChanges()
{
    std::vector<Page*> behind;
    for (auto& [socket, page] : m_pages) {
        if (page->queued > m_limits.maxQueuedBytes) {
            behind.push_back(page.get());
            continue;
        }
        // A page still busy with what it was sent gets the changes together, later.
        if (page->queued > m_limits.maxQueuedBytes / 4)
            continue;
        QByteArray parts;
        for (const WrittenPart& part : m_parts) {
            quint64& sent = page->sent.at(std::size_t(part.part));
            if (sent == part.revision)
                continue;
            sent = part.revision;
            if (!parts.isEmpty())
                parts += ',';
            parts += part.member;
        }
        if (!parts.isEmpty())
            send(*page, "{\"type\":\"update\",\"parts\":{" + parts + "}}");
    }
    for (Page* page : behind) {
        drop(*page, QWebSocketProtocol::CloseCodePolicyViolated,
             QStringLiteral("a page too far behind (over %1 bytes unsent)")
                 .arg(m_limits.maxQueuedBytes));
    }
}

void DashboardServer::act(Page& page, const QString& message)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(message.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        drop(page, QWebSocketProtocol::CloseCodeWrongDatatype,
             QStringLiteral("a message that is not a JSON object"));
        return;
    }
    const QJsonObject request = document.object();
    const QString action = request.value(QStringLiteral("action")).toString();
    const auto isWhole = [](const QJsonValue& value) {
        return value.isDouble() && value.toDouble() == double(value.toInt());
    };
    const QJsonValue value = request.value(QStringLiteral("value"));
    const bool wellFormed =
        (action == QLatin1StringView("test") &&
         gridOfKey(request.value(QStringLiteral("section")).toString()) &&
         isWhole(request.value(QStringLiteral("line")))) ||
        action == QLatin1StringView("endTest") || action == QLatin1StringView("reload") ||
        action == QLatin1StringView("openEpic") || action == QLatin1StringView("closeEpic") ||
        (action == QLatin1StringView("allLampsOn") && value.isBool()) ||
        (action == QLatin1StringView("brightness") && isWhole(value) &&
         value.toInt() >= Cockpit::kMinBrightness && value.toInt() <= Cockpit::kMaxBrightness);
    if (wellFormed) {
        emit actionAsked(request);
        return;
    }
    drop(page, QWebSocketProtocol::CloseCodePolicyViolated,
         QStringLiteral("an unknown action or one with wrong values"));
}

void DashboardServer::drop(Page& page, int closeCode, const QString& why)
{
    sayOnce(why, QStringLiteral("dropped a page at %1: %2").arg(page.peer, why));
    page.socket->close(QWebSocketProtocol::CloseCode(closeCode), why);
}

void DashboardServer::sayOnce(const QString& kind, const QString& text)
{
    if (m_said.contains(kind))
        return;
    m_said.insert(kind);
    emit said(QStringLiteral("Dashboard: %1 (the first such; more are not logged)").arg(text));
}

} // namespace glimrow
