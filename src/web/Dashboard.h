#pragma once

// The dashboard as the program holds it: its server runs on a thread of its own, so that its
// sockets are never polled while the update cycle lets the window's events run, and no page can
// make a cycle wait. On the program's thread, ten times a second, the parts of the state that
// changed are written out once and handed to the server; the pages' actions come back here
// and call the same cockpit functions as the window's controls.

#include "web/DashboardJson.h"
#include "web/DashboardServer.h"
#include "web/WebListen.h"

#include <QJsonObject>
#include <QObject>
#include <QThread>
#include <QTimer>

namespace glimrow {

class Cockpit;

class Dashboard : public QObject {
    Q_OBJECT

public:
    Dashboard(Cockpit& cockpit, CockpitState& state,
              DashboardServer::Limits limits = DashboardServer::Limits{});
    ~Dashboard() override;

    // Listens, and says where to open the page. `token` is needed off a loopback address.
    // False when it cannot listen (the port is taken), having said why; the program runs on.
    bool start(const WebListen& listen, const QString& token);
    quint16 port() const { return m_server->port(); }
    int pageCount() const { return m_server->pageCount(); }
    // The address to open, with the token when one is needed.
    QString pageUrl() const;

private:
    void publish();
    void act(const QJsonObject& action);

    Cockpit& m_cockpit;
    CockpitState& m_state;
    DashboardParts m_parts;
    WebListen m_listen;
    QString m_token;
    QThread m_thread;
    QObject m_onThread;                  // where work is handed to m_thread
    DashboardServer* m_server = nullptr; // lives on m_thread
    QTimer m_publishTimer;
};

} // namespace glimrow
