#pragma once

// The data server's flight-data object (Telvox.clsFlightData at /clsFlightData) as the stand-in
// server offers it. FillFlightData takes a snapshot of the record source; every property
// answers from that snapshot, except VantorAy, which is live. While it is on the bus it says
// when the record's values change (PropertiesChanged, the names invalidated), so that a client
// need not poll.

#include <QDBusConnection>
#include <QObject>
#include <QTimer>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace glimrow::sim {

class FlightDataService : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool VantorAy READ vantorAy)

public:
    using RecordSource = std::function<QVariantMap()>;

    explicit FlightDataService(RecordSource source, QObject* parent = nullptr);

    // Exports the object and takes the well-known name; false (with the reason in `error`)
    // when the bus refuses either.
    bool registerOn(QDBusConnection bus, QString* error = nullptr);
    void unregisterFrom(QDBusConnection bus);
    // Looks at the record `perSecond` times a second and signals the properties that changed.
    void announceChanges(int perSecond);

    bool vantorAy() const;
    int fillCount() const { return m_fills; }

public slots:
    void FillFlightData();
    void Close();

signals:
    // A client called Close (a program ending its use of the object).
    void closed();

private:
    void announceWhatChanged();

    RecordSource m_source;
    int m_fills = 0;
    std::optional<QDBusConnection> m_bus; // while registered
    QTimer m_changeWatch;
    QVariantMap m_announced; // the values as of the last signal or fill
};

} // namespace glimrow::sim
