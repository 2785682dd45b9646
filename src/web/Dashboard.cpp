#include "web/Dashboard.h"

#include "cockpit/Cockpit.h"

#include <QNetworkInterface>

namespace glimrow {

namespace {

constexpr int kPublishIntervalMs = 100; // pages get at most ten updates a second
constexpr int kRetryAfterCycleMs = 2;

} // namespace

Dashboard::Dashboard(Cockpit& cockpit, CockpitState& state, DashboardServer::Limits limits)
    : m_cockpit(cockpit), m_state(state), m_parts(state)
{
    m_thread.setObjectName(QStringLiteral("dashboard"));
    m_thread.start();
    // Made on its thread: the HTTP server's own parts (its WebSocket server, its timers) are not
    // its children, and would stay on the thread that made them.
    m_onThread.moveToThread(&m_thread);
    QMetaObject::invokeMethod(
        &m_onThread, [this, limits] { m_server = new DashboardServer(limits); },
        Qt::BlockingQueuedConnection);
    connect(m_server, &DashboardServer::actionAsked, this, &Dashboard::act);
    connect(m_server, &DashboardServer::said, this,
            [this](const QString& text) { m_state.showNotice(text); });
    m_publishTimer.setInterval(kPublishIntervalMs);
    connect(&m_publishTimer, &QTimer::timeout, this, &Dashboard::publish);
}

Dashboard::~Dashboard()
{
    // The server and its sockets end on their own thread.
    QMetaObject::invokeMethod(
        m_server, [server = m_server] { delete server; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

bool Dashboard::start(const WebListen& listen, const QString& token)
{
    bool listening = false;
    QString problem;
    QMetaObject::invokeMethod(
        m_server, [&] { listening = m_server->listenOn(listen, token, &problem); },
        Qt::BlockingQueuedConnection);
    if (!listening) {
        m_state.showNotice(
            QStringLiteral("The dashboard cannot listen on %1: %2; Glimrow runs on without it")
                .arg(listen.text(), problem));
        return false;
    }
    m_listen = listen;
    m_token = token;
    publish();
    m_publishTimer.start();
    if (m_listen.isLoopback()) {
        m_state.showNotice(QStringLiteral("Dashboard: open %1").arg(pageUrl()));
    } else {
        // Pages are sent the state: the token stays out of it.
        QString bare = pageUrl();
        bare.truncate(bare.indexOf(u'?'));
        m_state.showSecretNotice(
            QStringLiteral("Dashboard: open %1").arg(pageUrl()),
            QStringLiteral("Dashboard: open %1 with its access token ('glimrow --web-token' "
                           "prints it)")
                .arg(bare));
        m_state.showDashboardAddress(pageUrl());
    }
    return true;
}

QString Dashboard::pageUrl() const
{
    QHostAddress shown = m_listen.address;
    if (shown == QHostAddress::Any || shown == QHostAddress::AnyIPv4 ||
        shown == QHostAddress::AnyIPv6) {
        // Listening everywhere: the address a phone on the same network would use.
        shown = QHostAddress::LocalHost;
        for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
            if (!address.isLoopback() && address.protocol() == QAbstractSocket::IPv4Protocol) {
                shown = address;
                break;
            }
        }
    }
    QString url = QStringLiteral("http://%1/").arg(WebListen{shown, port()}.text());
    if (!m_listen.isLoopback())
        url += QStringLiteral("?token=") + m_token;
    return url;
}

void Dashboard::publish()
{
    // Not in the middle of an update cycle that lets events run: just after it.
    if (m_cockpit.updateCycle().isRunning()) {
        QTimer::singleShot(kRetryAfterCycleMs, this, &Dashboard::publish);
        return;
    }
    std::vector<WrittenPart> changed = m_parts.changed();
    if (changed.empty())
        return;
    QMetaObject::invokeMethod(
        m_server, [server = m_server, changed = std::move(changed)] { server->publish(changed); },
        Qt::QueuedConnection);
}

void Dashboard::act(const QJsonObject& action)
{
    const QString name = action.value(QStringLiteral("action")).toString();
    const QJsonValue value = action.value(QStringLiteral("value"));
    if (name == QLatin1StringView("test")) {
        // A line that is gone (the file was reloaded) is simply not tested.
        if (const auto grid = gridOfKey(action.value(QStringLiteral("section")).toString()))
            m_cockpit.TestOutput(*grid, action.value(QStringLiteral("line")).toInt());
    } else if (name == QLatin1StringView("endTest")) {
        m_cockpit.EndOutputTest();
    } else if (name == QLatin1StringView("allLampsOn")) {
        m_cockpit.setAllLampsOn(value.toBool());
    } else if (name == QLatin1StringView("reload")) {
        m_cockpit.ReloadConfiguration();
    } else if (name == QLatin1StringView("brightness")) {
        m_cockpit.setLampBrightness(value.toInt());
    } else if (name == QLatin1StringView("openEpic")) {
        m_cockpit.OpenEpicCard();
    } else if (name == QLatin1StringView("closeEpic")) {
        m_cockpit.CloseEpicCard();
    }
}

} // namespace glimrow
