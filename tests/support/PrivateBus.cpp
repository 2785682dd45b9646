#include "support/PrivateBus.h"

#include <QAtomicInt>
#include <QMetaObject>

namespace glimrow::test {

PrivateBus::PrivateBus()
{
    m_daemon.setProgram(QStringLiteral("dbus-daemon"));
    m_daemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                           QStringLiteral("--print-address=1")});
    m_daemon.start(QIODevice::ReadOnly);
    if (!m_daemon.waitForStarted(10000))
        return;
    while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(10000)) {
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateBus::~PrivateBus()
{
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000))
        m_daemon.kill();
}

QDBusConnection PrivateBus::connect(const QString& name) const
{
    // Connection names are process-wide: tie them to this daemon so a later bus never gets
    // an earlier bus's connection back.
    return QDBusConnection::connectToBus(m_address, name + u'@' + m_address);
}

FlightDataServer::FlightDataServer(const PrivateBus& bus) : m_bus(bus)
{
    static QAtomicInt servers;
    m_connectionName = QStringLiteral("flight-data-server-%1@%2")
                           .arg(servers.fetchAndAddRelaxed(1))
                           .arg(bus.address());
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    m_thread.start();
    inServerThread([this] {
        m_service = new sim::FlightDataService([this] { return record(); });
        setOnBusInThisThread(true);
    });
}

FlightDataServer::~FlightDataServer()
{
    thaw();
    inServerThread([this] {
        setOnBusInThisThread(false);
        delete m_service;
        QDBusConnection::disconnectFromBus(m_connectionName);
    });
    m_context->deleteLater(); // deleted as the thread finishes
    m_thread.quit();
    m_thread.wait();
}

template <typename Work> void FlightDataServer::inServerThread(Work work)
{
    QMetaObject::invokeMethod(m_context, work, Qt::BlockingQueuedConnection);
}

void FlightDataServer::setRecord(const QVariantMap& record)
{
    QMutexLocker lock(&m_mutex);
    m_record = record;
}

void FlightDataServer::setValue(const QString& field, const QVariant& value)
{
    QMutexLocker lock(&m_mutex);
    m_record[field] = value;
}

QVariantMap FlightDataServer::record() const
{
    QMutexLocker lock(&m_mutex);
    return m_record;
}

bool FlightDataServer::setOnBus(bool onBus)
{
    bool done = false;
    inServerThread([this, onBus, &done] { done = setOnBusInThisThread(onBus); });
    return done;
}

bool FlightDataServer::setOnBusInThisThread(bool onBus)
{
    QDBusConnection bus = QDBusConnection::connectToBus(m_bus.address(), m_connectionName);
    if (!onBus) {
        m_service->unregisterFrom(bus);
        return true;
    }
    return m_service->registerOn(bus);
}

void FlightDataServer::freeze()
{
    if (m_frozen)
        return;
    m_frozen = true;
    QMetaObject::invokeMethod(
        m_context, [this] { m_thawed.acquire(); }, Qt::QueuedConnection);
}

void FlightDataServer::thaw()
{
    if (!m_frozen)
        return;
    m_frozen = false;
    m_thawed.release();
}

void FlightDataServer::announceChanges(int perSecond)
{
    inServerThread([this, perSecond] { m_service->announceChanges(perSecond); });
}

int FlightDataServer::fillCount() const
{
    int fills = 0;
    const_cast<FlightDataServer*>(this)->inServerThread(
        [this, &fills] { fills = m_service->fillCount(); });
    return fills;
}

} // namespace glimrow::test
