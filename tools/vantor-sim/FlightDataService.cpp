#include "FlightDataService.h"

#include "FlightDataAdaptor.h"

#include <QDBusConnectionInterface>

namespace glimrow::sim {
namespace {

const QString kService = QStringLiteral("Telvox.clsFlightData");
const QString kPath = QStringLiteral("/clsFlightData");

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
    return true;
}

void FlightDataService::unregisterFrom(QDBusConnection bus)
{
    bus.unregisterService(kService);
    bus.unregisterObject(kPath);
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
    ++m_fills;
}

void FlightDataService::Close()
{
    emit closed();
}

} // namespace glimrow::sim
