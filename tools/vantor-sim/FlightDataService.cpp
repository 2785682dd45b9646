#include "FlightDataService.h"

#include "FlightDataAdaptor.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <algorithm>

namespace glimrow::sim {
namespace {

const QString kService = QStringLiteral("Telvox.clsFlightData");
const QString kPath = QStringLiteral("/clsFlightData");
const QString kInterface = QStringLiteral("Telvox.clsFlightData");

} // namespace

FlightDataService::FlightDataService(RecordSource source, QObject* parent)
    : QObject(parent), m_source(std::move(source))
{
    new ClsFlightDataAdaptor(this); // owned by this object
}

bool FlightDataService::registerOn(QDBusConnection bus, QString* error)
{
    if (!bus.registerObject(kPath, this)) {
        if (error)
            *error = QStringLiteral("cannot export %1: %2").arg(kPath, bus.lastError().message());
        return false;
    }
    if (!bus.registerService(kService)) {
        if (error)
            *error = QStringLiteral("cannot take %1: %2").arg(kService, bus.lastError().message());
        bus.unregisterObject(kPath);
        return false;
    }
    m_bus = bus;
    m_announced.clear();
    return true;
}

void FlightDataService::unregisterFrom(QDBusConnection bus)
{
    m_bus.reset();
    bus.unregisterService(kService);
    bus.unregisterObject(kPath);
}

void FlightDataService::announceChanges(int perSecond)
{
    m_changeWatch.callOnTimeout(this, &FlightDataService::announceWhatChanged,
                                Qt::UniqueConnection);
    m_changeWatch.start(1000 / std::max(1, perSecond));
}

void FlightDataService::announceWhatChanged()
{
    if (!m_bus)
        return;
    const QVariantMap record = m_source();
    QStringList changed;
    for (auto field = record.cbegin(); field != record.cend(); ++field) {
        if (m_announced.value(field.key()) != field.value())
            changed.append(field.key());
    }
    m_announced = record;
    if (changed.isEmpty())
        return;
    // The properties answer from the last fill, so the new values are not sent: the names are
    // invalidated, and a client fills to read them.
    QDBusMessage signal =
        QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << kInterface << QVariantMap() << changed;
    m_bus->send(signal);
}

bool FlightDataService::vantorAy() const
{
    return m_source().value(QStringLiteral("VantorAy")).toBool();
}

void FlightDataService::FillFlightData()
{
    // The adaptor reads each property from this object by name; dynamic properties hold the
    // snapshot.
    const QVariantMap record = m_source();
    for (auto field = record.cbegin(); field != record.cend(); ++field) {
        if (field.key() != QLatin1StringView("VantorAy"))
            setProperty(field.key().toLatin1().constData(), field.value());
    }
    // What a client now holds: a change from these values is news, even one back to what was
    // last announced.
    m_announced = record;
    ++m_fills;
}

void FlightDataService::Close()
{
    emit closed();
}

} // namespace glimrow::sim
