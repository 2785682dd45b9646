#pragma once

// The data server's flight-data object over D-Bus (name Telvox.clsFlightData, path
// /clsFlightData). Creating it needs no running server: calls fail while the name has no
// owner and reach the server as soon as it appears or comes back.
//
// The properties are defined as current as of the last FillFlightData, so one fill plus one
// GetAll snapshot serves every read of a cycle; the fill is sent without waiting for its reply,
// so both cost one round trip. VantorAy is read live, for the watchdog between cycles.

#include "data/FlightDataObject.h"

#include <QDBusConnection>
#include <QVariantMap>

#include <memory>

class TelvoxClsFlightDataInterface;

namespace glimrow {

class DBusFlightData final : public FlightDataObject {
public:
    static const QString kService;
    static const QString kPath;
    static const QString kInterface;

    // A hung server must not freeze the window: calls give up after `timeoutMs`.
    explicit DBusFlightData(const QDBusConnection& bus, int timeoutMs = 500);
    ~DBusFlightData() override;

    void FillFlightData() override;
    void Close() override;
    QVariant property(FlightDataField field) override;

private:
    QVariant readLive(const QString& name);

    QDBusConnection m_bus;
    int m_timeoutMs;
    std::unique_ptr<TelvoxClsFlightDataInterface> m_proxy;
    QVariantMap m_snapshot;
};

} // namespace glimrow
