#pragma once

// The dashboard: the cockpit in a browser. It serves the page (compiled in as resources),
// GET /api/state, and a WebSocket at /ws over which each page is sent the whole state once and
// then, at most ten times a second, the parts that changed; the page's buttons come back over
// it as actions, which call the same cockpit functions as the window's controls.
//
// On a loopback address it asks for nothing. On any other address every request needs the
// access token, from ?token= or the cookie the page is given. WebSocket upgrades must come
// from the page's own origin. The update cycle never waits for a page: a page that falls too
// far behind is dropped.

#include "web/DashboardJson.h"
#include "web/WebListen.h"

#include <QAbstractHttpServer>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <QSet>
#include <QTimer>

#include <map>
#include <memory>

class QWebSocket;

namespace glimrow {

class Cockpit;

class DashboardServer : public QAbstractHttpServer {
    Q_OBJECT

public:
    struct Limits {
        int maxPages = 32;       // WebSocket connections
        int maxConnections = 64; // TCP connections of every kind
        qsizetype maxRequestBytes = 16 * 1024;
        qsizetype maxMessageBytes = 4 * 1024;
        qint64 maxQueuedBytes = 4 * 1024 * 1024; // unsent to one page before it is dropped
        int pushIntervalMs = 100;
    };

    DashboardServer(Cockpit& cockpit, CockpitState& state, Limits limits);
    DashboardServer(Cockpit& cockpit, CockpitState& state)
        : DashboardServer(cockpit, state, Limits{})
    {
    }
    ~DashboardServer() override;

    // Listens, and says where to open the page. `token` is needed off a loopback address. False
    // when it cannot listen (the port is taken), having said why; the program runs on.
    bool start(const WebListen& listen, const QString& token);
    quint16 port() const { return m_port; }
    // The address to open, with the token when one is needed.
    QString pageUrl() const;
    int pageCount() const { return int(m_pages.size()); }

protected:
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;
#else
    bool handleRequest(const QHttpServerRequest& request, QHttpServerResponder& responder) override;
    void missingHandler(const QHttpServerRequest& request,
                        QHttpServerResponder&& responder) override;
#endif

private:
    struct Page;
    struct Refusal {
        QHttpServerResponder::StatusCode status;
        QString why; // for the log
    };

    // Why this request may not be served (the host, the token, the origin, the size); nothing
    // when it may.
    std::optional<Refusal> refusal(const QHttpServerRequest& request, bool upgrade) const;
    QHttpServerResponse answer(const QHttpServerRequest& request);
    QHttpServerResponse refuse(const Refusal& refused, const QHttpServerRequest& request);
    void takePages();
    void send(Page& page, const QByteArray& message);
    void pushChanges();
    void act(Page& page, const QString& message);
    void drop(Page& page, int closeCode, const QString& why);
    // Each kind of trouble once: a page that misbehaves must not flood the log.
    void sayOnce(const QString& kind, const QString& text);

    Cockpit& m_cockpit;
    CockpitState& m_state;
    Limits m_limits;
    DashboardParts m_parts;
    WebListen m_listen;
    QString m_token;
    quint16 m_port = 0;
    int m_openConnections = 0;
    std::map<QWebSocket*, std::unique_ptr<Page>> m_pages;
    QTimer m_pushTimer;
    QSet<QString> m_said;
};

} // namespace glimrow
