#include "data/ConnectionManager.h"

#include "common/SkippedStep.h"
#include "data/StreamDecoder.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QScopedValueRollback>

#include <utility>

namespace glimrow {

Q_LOGGING_CATEGORY(lcConnection, "glimrow.connection", QtWarningMsg)

namespace {

// Every step of a connection choice runs even if the one before failed.
template <typename Step> void runIgnoringErrors(const char* what, Step step)
{
    runSkippingFailure(lcConnection(), what, step);
}

} // namespace

ConnectionManager::ConnectionManager(ConnectionView& view, FlightDataCache& cache,
                                     FlightDataFactory factory, QObject* parent)
    : QObject(parent), m_view(view), m_cache(cache), m_factory(std::move(factory))
{
    connect(&fnALumexSock, &QTcpSocket::readyRead, this, &ConnectionManager::onReadyRead);
    connect(&fnALumexSock, &QAbstractSocket::connected, this, &ConnectionManager::onConnected);
    connect(&fnALumexSock, &QAbstractSocket::disconnected, this,
            &ConnectionManager::onConnectionLost);
    connect(&fnALumexSock, &QAbstractSocket::errorOccurred, this, [this](auto error) {
        m_errorSinceRequest = true;
        qCDebug(lcConnection) << "socket error" << error << fnALumexSock.errorString();
        // A connection that could not be made ends here; one that was up ends with a
        // disconnect as well.
        if (fnALumexSock.state() == QAbstractSocket::UnconnectedState)
            onConnectionLost();
    });

    m_tmrVantorA.setInterval(kInactivePeriodMs);
    connect(&m_tmrVantorA, &QTimer::timeout, this, &ConnectionManager::tmrVantorA_Timer);
    m_tmrVantorA.start();

    m_streamSilence.setSingleShot(true);
    m_streamSilence.setInterval(kStreamSilenceMs);
    connect(&m_streamSilence, &QTimer::timeout, this, &ConnectionManager::endStreamActivity);
    m_connectTimeout.setSingleShot(true);
    m_connectTimeout.setInterval(kConnectTimeoutMs);
    connect(&m_connectTimeout, &QTimer::timeout, this, [this] {
        if (!m_streamWanted || fnALumexSock.state() == QAbstractSocket::ConnectedState)
            return;
        fnALumexSock.abort();
        scheduleRetry(QStringLiteral("No answer within %1 s").arg(kConnectTimeoutMs / 1000));
    });
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        if (m_streamWanted && fnALumexSock.state() == QAbstractSocket::UnconnectedState)
            requestConnection(Attempt::Retry);
    });
}

ConnectionManager::~ConnectionManager()
{
    // The socket aborts as it is destroyed; its signals must not reach a half-destroyed
    // manager.
    fnALumexSock.disconnect(this);
}

void ConnectionManager::ChooseConnectType(int index)
{
    runIgnoringErrors("TCP/IP caption", [this] { m_view.setTcpCaptionBold(false); });
    runIgnoringErrors("option button", [this, index] { m_view.showConnectType(index); });
    if (index == 0) {
        runIgnoringErrors("server fields", [this] { m_view.setServerFieldsEnabled(true); });
        m_cache.VantorAy = false;
        ReleaseFlightData();
        runIgnoringErrors("connecting the stream",
                          [this] { m_streamWanted = requestConnection(Attempt::First); });
    } else {
        runIgnoringErrors("server fields", [this] { m_view.setServerFieldsEnabled(false); });
        CloseSockets();
        runIgnoringErrors("creating the flight-data object", [this] {
            m_flightData.reset();
            m_serverSilent = false;
            m_serverLeft = false;
            m_flightData = m_factory();
            m_flightData->watchPresence([this](bool present) { serverPresenceChanged(present); });
            m_flightData->watchSnapshots(
                [this](const QVariantMap& snapshot) { emit objectFilled(snapshot); });
            m_flightData->watchChanges([this] { emit valuesChanged(); });
        });
    }
    watchdogTick(false);
}

void ConnectionManager::CloseSockets()
{
    m_streamWanted = false;
    m_retryDelayMs = kFirstRetryMs;
    m_lastFailure.clear();
    m_failureRepeats = 0;
    m_retry.stop();
    m_connectTimeout.stop();
    m_streamSilence.stop();
    fnALumexSock.abort();
    m_framer.clear();
    m_errorSinceRequest = false;
    m_view.showConnectionStatus(QString());
}

void ConnectionManager::ReleaseFlightData()
{
    runIgnoringErrors("closing the flight-data object", [this] {
        if (m_flightData)
            m_flightData->Close();
    });
    m_flightData.reset();
    m_serverSilent = false;
}

void ConnectionManager::tmrVantorA_Timer()
{
    watchdogTick(true);
}

int ConnectionManager::socketState() const
{
    switch (fnALumexSock.state()) {
    case QAbstractSocket::UnconnectedState:
        return m_errorSinceRequest ? 9 : 0;
    case QAbstractSocket::BoundState:
        return 1;
    case QAbstractSocket::ListeningState:
        return 2;
    case QAbstractSocket::HostLookupState:
        return 4;
    case QAbstractSocket::ConnectingState:
        return 6;
    case QAbstractSocket::ConnectedState:
        return 7;
    case QAbstractSocket::ClosingState:
        return 8;
    }
    return 0;
}

bool ConnectionManager::requestConnection(Attempt attempt)
{
    const QString host = m_view.serverAddress().trimmed();
    const QString portText = m_view.serverPort().trimmed();
    bool portIsNumber = false;
    const uint port = portText.toUInt(&portIsNumber);
    // An address or port that cannot work is said once and not tried again: retrying would
    // not change it.
    if (host.isEmpty()) {
        m_view.showConnectionStatus(QStringLiteral("No data server address to connect to"));
        return false;
    }
    if (!portIsNumber || port == 0 || port > 65535) {
        m_view.showConnectionStatus(
            QStringLiteral("Port \"%1\" is not a port number (1 to 65535)").arg(portText));
        return false;
    }
    if (fnALumexSock.state() == QAbstractSocket::ConnectedState)
        return true; // chosen again while connected: nothing to do
    // A retry leaves the last failure on show, so a server that stays away is one message.
    if (attempt == Attempt::First)
        m_view.showConnectionStatus(QStringLiteral("Connecting to %1:%2").arg(host).arg(port));
    // Ask while the socket reads closed; it then connects in the background.
    for (int request = 0; request < kConnectRequests; ++request) {
        if (fnALumexSock.state() == QAbstractSocket::UnconnectedState) {
            m_errorSinceRequest = false;
            fnALumexSock.connectToHost(host, quint16(port));
            m_connectTimeout.start();
        }
        if (socketState() != 0)
            break;
    }
    return true;
}

void ConnectionManager::onConnected()
{
    m_connectTimeout.stop();
    m_framer.clear(); // a server starts its stream on a frame boundary
    // After failures, a connection is a success only once it delivers an active frame: a
    // server that accepts and closes at once must not reset the back-off.
    if (m_lastFailure.isEmpty())
        m_view.showConnectionStatus(QStringLiteral("Connected"));
}

void ConnectionManager::streamDelivered()
{
    m_retryDelayMs = kFirstRetryMs;
    if (m_lastFailure.isEmpty())
        return;
    m_view.showConnectionStatus(
        m_failureRepeats > 1 ? QStringLiteral("Connected (the failure before happened %1 times)")
                                   .arg(m_failureRepeats)
                             : QStringLiteral("Connected"));
    m_lastFailure.clear();
    m_failureRepeats = 0;
}

void ConnectionManager::onConnectionLost()
{
    m_framer.clear();
    if (!m_streamWanted || m_restarting)
        return; // closed on purpose
    endStreamActivity();
    scheduleRetry(m_errorSinceRequest ? fnALumexSock.errorString()
                                      : QStringLiteral("The data server closed the connection"));
}

void ConnectionManager::scheduleRetry(const QString& why)
{
    m_connectTimeout.stop();
    if (m_retry.isActive())
        return;
    // The same failure again is counted, not said again: a server that keeps failing the same
    // way would otherwise fill the log.
    if (why == m_lastFailure) {
        ++m_failureRepeats;
    } else {
        m_lastFailure = why;
        m_failureRepeats = 1;
        m_view.showConnectionStatus(QStringLiteral("%1:%2: %3; trying again in %4 s")
                                        .arg(m_view.serverAddress().trimmed(),
                                             m_view.serverPort().trimmed(), why,
                                             QString::number(m_retryDelayMs / 1000.0)));
    }
    m_retry.start(m_retryDelayMs);
    m_retryDelayMs = qMin(m_retryDelayMs * 2, kLongestRetryMs);
}

void ConnectionManager::onReadyRead()
{
    const QByteArray bytes = fnALumexSock.readAll();
    emit streamRead(bytes);
    const std::optional<QByteArray> frame = m_framer.take(bytes);
    if (const qsizetype dropped = m_framer.takeDroppedBytes()) {
        qCWarning(lcConnection).noquote()
            << QStringLiteral("Dropped %1 bytes from %2:%3 that never became a frame (more than "
                              "%4 bytes waiting)")
                   .arg(dropped)
                   .arg(fnALumexSock.peerName())
                   .arg(fnALumexSock.peerPort())
                   .arg(StreamFramer::kMaxWaitingBytes);
    }
    if (m_framer.needsNewConnection())
        restartLostStream();
    if (!frame)
        return;
    const FlightDataCache before = m_cache;
    StreamDecoder::decode(*frame, m_cache);
    if (m_cache.VantorAy) {
        m_streamSilence.start();
        streamDelivered();
    }
    if (m_cache.VantorAy != before.VantorAy)
        showServerState();
    emit frameDecoded(*frame);
    if (!m_cache.sameValues(before))
        emit valuesChanged();
    QCoreApplication::processEvents();
}

void ConnectionManager::restartLostStream()
{
    if (!std::exchange(m_restartSaid, true)) {
        qCWarning(lcConnection).noquote()
            << QStringLiteral("The stream from %1:%2 lost where its frames start and ends no "
                              "line to show it again; connecting again (said once)")
                   .arg(fnALumexSock.peerName())
                   .arg(fnALumexSock.peerPort());
    }
    // The lamps keep what they show: the server has not gone, only this connection's framing.
    const QScopedValueRollback restarting(m_restarting, true);
    fnALumexSock.abort();
    m_framer.clear();
    requestConnection(Attempt::Retry);
}

void ConnectionManager::endStreamActivity()
{
    m_streamSilence.stop();
    if (!m_cache.VantorAy)
        return;
    m_cache.VantorAy = false;
    showServerState();
}

void ConnectionManager::watchdogTick(bool timerDriven)
{
    if (m_view.isDcomSelected()) {
        // The answer comes later; a tick while the last read is on its way asks nothing more.
        if (!m_flightData) {
            takeActivity(std::nullopt, QStringLiteral("no flight-data object"), timerDriven);
            return;
        }
        m_flightData->requestActivity(
            [this, timerDriven](std::optional<bool> active, const QString& why) {
                takeActivity(active, why, timerDriven);
            });
        return;
    }
    // Whether frames keep coming is the silence timer's to say; a closed stream is not an
    // active server, whatever its last frame said.
    const bool connected = socketState() == 7;
    m_view.setTcpCaptionBold(connected);
    if (!connected)
        m_cache.VantorAy = false;
    showServerState();
}

void ConnectionManager::takeActivity(std::optional<bool> active, const QString& why,
                                     bool timerDriven)
{
    if (m_flightData) {
        for (const QString& problem : m_flightData->takeNewProblems())
            reportServerProblem(problem);
    }
    if (!active) {
        qCDebug(lcConnection) << "VantorAy not readable:" << why;
        // Inside the choice procedure the tick just ends and everything keeps its value.
        if (!timerDriven)
            return;
    } else if (*active && m_serverSilent && m_flightData) {
        // It says it is active, but its last refresh failed: it is active again only once a
        // refresh succeeds, or the status would flap with every tick.
        m_flightData->requestFill([this](FillOutcome outcome, const QString&) {
            if (outcome == FillOutcome::Filled)
                fillSucceeded();
        });
        return;
    }
    m_cache.VantorAy = active.value_or(false);
    showServerState();
}

void ConnectionManager::fillSucceeded()
{
    if (!std::exchange(m_serverSilent, false))
        return;
    m_view.showConnectionStatus(QString()); // what failed is over
    m_cache.VantorAy = true;
    showServerState();
}

void ConnectionManager::pollSilentServer()
{
    // A server known to have left the bus is not asked: its return is reported.
    if (m_serverSilent && !m_serverLeft && m_view.isDcomSelected())
        watchdogTick(true);
}

void ConnectionManager::serverFailed(const QString& why)
{
    m_serverSilent = true;
    m_cache.VantorAy = false;
    // Said once: the polling that asks again until it answers fails the same way.
    m_view.showConnectionStatus(why);
    showServerState();
}

void ConnectionManager::serverPresenceChanged(bool present)
{
    if (!m_view.isDcomSelected())
        return;
    m_serverLeft = !present;
    if (!present) {
        serverFailed(QStringLiteral("The data server left the session bus"));
        return;
    }
    watchdogTick(true); // back: whether it is active shows at once
}

void ConnectionManager::showServerState()
{
    const int period = m_cache.VantorAy ? kActivePeriodMs : kInactivePeriodMs;
    if (m_tmrVantorA.interval() != period)
        m_tmrVantorA.setInterval(period);
    m_view.showServerState(m_cache.VantorAy ? QStringLiteral("Vantor-A")
                                            : QStringLiteral("Vantor Inactive"));
}

} // namespace glimrow
