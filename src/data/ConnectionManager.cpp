#include "data/ConnectionManager.h"

#include "common/SkippedStep.h"
#include "data/StreamDecoder.h"

#include <QCoreApplication>
#include <QLoggingCategory>

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
    connect(&fnALumexSock, &QAbstractSocket::errorOccurred, this, [this](auto error) {
        m_errorSinceRequest = true;
        qCDebug(lcConnection) << "socket error" << error << fnALumexSock.errorString();
    });

    m_tmrVantorA.setInterval(kInactivePeriodMs);
    connect(&m_tmrVantorA, &QTimer::timeout, this, &ConnectionManager::tmrVantorA_Timer);
    m_tmrVantorA.start();
}

ConnectionManager::~ConnectionManager() = default;

void ConnectionManager::ChooseConnectType(int index)
{
    runIgnoringErrors("TCP/IP caption", [this] { m_view.setTcpCaptionBold(false); });
    runIgnoringErrors("option button", [this, index] { m_view.showConnectType(index); });
    if (index == 0) {
        runIgnoringErrors("server fields", [this] { m_view.setServerFieldsEnabled(true); });
        m_cache.VantorAy = false;
        ReleaseFlightData();
        runIgnoringErrors("connecting the stream", [this] { requestConnection(); });
    } else {
        runIgnoringErrors("server fields", [this] { m_view.setServerFieldsEnabled(false); });
        CloseSockets();
        runIgnoringErrors("creating the flight-data object", [this] {
            m_flightData.reset();
            m_flightData = m_factory();
        });
    }
    watchdogTick(false);
}

void ConnectionManager::CloseSockets()
{
    fnALumexSock.abort();
    m_errorSinceRequest = false;
}

void ConnectionManager::ReleaseFlightData()
{
    runIgnoringErrors("closing the flight-data object", [this] {
        if (m_flightData)
            m_flightData->Close();
    });
    m_flightData.reset();
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

void ConnectionManager::requestConnection()
{
    const QString host = m_view.serverAddress().trimmed();
    bool portIsNumber = false;
    const uint port = m_view.serverPort().trimmed().toUInt(&portIsNumber);
    const bool requestable = portIsNumber && port > 0 && port <= 65535 && !host.isEmpty();
    // Ask while the socket reads closed; it then connects in the background. A request that
    // cannot be made (no address, a port that is not a port number) leaves it closed.
    for (int request = 0; request < kConnectRequests; ++request) {
        if (requestable && fnALumexSock.state() == QAbstractSocket::UnconnectedState) {
            m_errorSinceRequest = false;
            fnALumexSock.connectToHost(host, quint16(port));
        }
        if (socketState() != 0)
            break;
    }
}

void ConnectionManager::onReadyRead()
{
    // One read is one frame: take at most kMaxReadBytes and drop everything else that has
    // arrived, so a fast peer can make the program hold no more than the system's socket
    // buffer. (A limited read buffer would be tighter, but Qt stops reporting new data once
    // such a buffer has been full and is emptied without a read past its end.)
    const QByteArray block = fnALumexSock.read(kMaxReadBytes);
    fnALumexSock.skip(fnALumexSock.bytesAvailable());
    StreamDecoder::decode(block, m_cache);
    m_blockSinceTick = true;
    emit blockDecoded();
    QCoreApplication::processEvents();
}

void ConnectionManager::watchdogTick(bool timerDriven)
{
    if (m_view.isDcomSelected()) {
        try {
            if (!m_flightData)
                throw FlightDataError("no flight-data object");
            m_cache.VantorAy = m_flightData->readBoolean(FlightDataField::VantorAy);
        } catch (const FlightDataError& error) {
            qCDebug(lcConnection) << "VantorAy not readable:" << error.what();
            if (!timerDriven)
                return;
            m_cache.VantorAy = false;
        }
    } else {
        const bool connected = socketState() == 7;
        m_view.setTcpCaptionBold(connected);
        // A stream that has closed or gone quiet is not an active server, whatever its last
        // frame said.
        if (timerDriven && (!connected || !m_blockSinceTick))
            m_cache.VantorAy = false;
    }
    m_blockSinceTick = false;
    const int period = m_cache.VantorAy ? kActivePeriodMs : kInactivePeriodMs;
    if (m_tmrVantorA.interval() != period)
        m_tmrVantorA.setInterval(period);
    m_view.showServerState(m_cache.VantorAy ? QStringLiteral("Vantor-A")
                                            : QStringLiteral("Vantor Inactive"));
}

} // namespace glimrow
