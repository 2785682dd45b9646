#pragma once

// The dashboard's server, on a thread of its own (see Dashboard): it serves the page (compiled
// in as resources), GET /api/state, and a WebSocket at /ws over which each page is sent the
// whole state once and then the parts that changed, as they are published (ten times a second).
// What a page asks for comes out as actionAsked(), checked for shape but not yet done.
//
// On a loopback address it asks for nothing. On any other address every request needs the
// access token, from ?token= or the cookie the page is given. WebSocket upgrades must come
// from the page's own origin. A page that falls too far behind is dropped.

#include "web/DashboardJson.h"
#include "web/HttpServerAdapter.h"
#include "web/WebListen.h"

#include <QJsonObject>
#include <QSet>

#include <atomic>
#include <map>
#include <memory>

class QWebSocket;

namespace glimrow {

class GuardedTcpServer;

class DashboardServer : public HttpServerAdapter {
    Q_OBJECT

public:
    struct Limits {
        int maxPages = 32;       // WebSocket connections
        int maxConnections = 64; // TCP connections of every kind
        qsizetype maxRequestBytes = 16 * 1024;
        qsizetype maxMessageBytes = 4 * 1024;
        qint64 maxQueuedBytes = 4 * 1024 * 1024; // unsent to one page before it is dropped
        int headWithinMs = 3000;                 // for a connection to send a whole request's head
    };

    explicit DashboardServer(Limits limits);
    ~DashboardServer() override;

    // Listens; `token` is needed off a loopback address. False and why when it cannot (the
    // port is taken).
    bool listenOn(const WebListen& listen, const QString& token, QString* problem);
    // The newest text of the parts that changed, sent on to the pages at once.
    void publish(const std::vector<WrittenPart>& parts);

    // Safe to ask from any thread.
    quint16 port() const { return m_port; }
    int pageCount() const { return m_pageCount; }

signals:
    // A page's action, well formed: {"action": "test", "section": key, "line": n}, "endTest",
    // "allLampsOn" with a bool "value", "reload", "brightness" with a whole "value".
    void actionAsked(const QJsonObject& action);
    // Something to log.
    void said(const QString& text);

protected:
    QHttpServerResponse answer(const QHttpServerRequest& request) override;
    std::optional<QHttpServerResponse> upgradeRefusal(const QHttpServerRequest& request) override;
    QTcpSocket* connectionOf(const QHostAddress& address, quint16 port) override;
    bool closesAfter(const QHttpServerRequest& request, int status) const override;

private:
    struct Page;
    struct Refusal {
        QHttpServerResponder::StatusCode status;
        QString why; // for the log
        // For a browser, what happened, when the token is missing or wrong: it gets a page
        // that says where the address with the token is found.
        QString toldPerson = {};
    };

    // Why this request may not be served (the host, the token, the origin, the size); nothing
    // when it may.
    std::optional<Refusal> refusal(const QHttpServerRequest& request, bool upgrade) const;
    QHttpServerResponse refuse(const Refusal& refused, const QHttpServerRequest& request,
                               bool withBody = true);
    void takePages();
    void send(Page& page, const QByteArray& message);
    void pushChanges();
    void act(Page& page, const QString& message);
    void drop(Page& page, int closeCode, const QString& why);
    // Each kind of trouble once: a page that misbehaves must not flood the log.
    void sayOnce(const QString& kind, const QString& text);

    Limits m_limits;
    WrittenParts m_parts;
    WebListen m_listen;
    QString m_token;
    std::atomic<quint16> m_port = 0;
    std::atomic<int> m_pageCount = 0;
    GuardedTcpServer* m_guard = nullptr; // owned by the HTTP server once bound
    std::map<QWebSocket*, std::unique_ptr<Page>> m_pages;
    QSet<QString> m_said;
};

} // namespace glimrow
