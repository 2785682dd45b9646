#include "data/DBusFlightData.h"

#include "FlightDataProxy.h"

#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusVariant>

namespace glimrow {
namespace {

const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

[[noreturn]] void throwDBusError(const char* what, const QDBusError& error)
{
    throw FlightDataError(QStringLiteral("%1: %2 (%3)")
                              .arg(QLatin1StringView(what), error.message(), error.name())
                              .toStdString());
}

} // namespace

const QString DBusFlightData::kService = QStringLiteral("Telvox.clsFlightData");
const QString DBusFlightData::kPath = QStringLiteral("/clsFlightData");
const QString DBusFlightData::kInterface = QStringLiteral("Telvox.clsFlightData");

DBusFlightData::DBusFlightData(const QDBusConnection& bus, int timeoutMs)
    : m_bus(bus), m_timeoutMs(timeoutMs),
      m_proxy(std::make_unique<TelvoxClsFlightDataInterface>(kService, kPath, bus))
{
    m_proxy->setTimeout(timeoutMs);
}

DBusFlightData::~DBusFlightData() = default;

void DBusFlightData::FillFlightData()
{
    m_snapshot.clear(); // a failed fill must not leave the last cycle's values readable
    // The fill is sent without waiting for its reply: messages on one connection reach the
    // server in order, so by the time it answers GetAll it has filled, and a server that is
    // gone fails the GetAll. Waiting for both replies costs about 60 us more a cycle.
    m_bus.send(QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                              QStringLiteral("FillFlightData")));
    QDBusMessage getAll = QDBusMessage::createMethodCall(kService, kPath, kPropertiesInterface,
                                                         QStringLiteral("GetAll"));
    getAll << kInterface;
    const QDBusReply<QVariantMap> snapshot = m_bus.call(getAll, QDBus::Block, m_timeoutMs);
    if (!snapshot.isValid())
        throwDBusError("FillFlightData or reading the flight data failed", snapshot.error());
    m_snapshot = snapshot.value();
}

void DBusFlightData::Close()
{
    QDBusPendingReply<> reply = m_proxy->Close();
    reply.waitForFinished();
    if (reply.isError())
        throwDBusError("Close failed", reply.error());
}

QVariant DBusFlightData::property(FlightDataField field)
{
    const QString name = QLatin1StringView(fieldInfo(field).name);
    if (field == FlightDataField::VantorAy)
        return readLive(name);
    const auto found = m_snapshot.constFind(name);
    if (found == m_snapshot.cend())
        throw FlightDataError(
            QStringLiteral("Property %1 is not available").arg(name).toStdString());
    return *found;
}

QVariant DBusFlightData::readLive(const QString& name)
{
    QDBusMessage get = QDBusMessage::createMethodCall(kService, kPath, kPropertiesInterface,
                                                      QStringLiteral("Get"));
    get << kInterface << name;
    const QDBusReply<QDBusVariant> reply = m_bus.call(get, QDBus::Block, m_timeoutMs);
    if (!reply.isValid())
        throwDBusError("Reading VantorAy failed", reply.error());
    return reply.value().variant();
}

} // namespace glimrow
