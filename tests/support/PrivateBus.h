#pragma once

// A private D-Bus daemon for one test process, and a flight-data server on it that runs in a
// thread of its own (so the program's blocking calls from the test thread get answered).

#include "FlightDataService.h"

#include <QDBusConnection>
#include <QMutex>
#include <QProcess>
#include <QSemaphore>
#include <QThread>
#include <QVariantMap>

#include <functional>
#include <memory>

namespace glimrow::test {

class PrivateBus {
public:
    // Starts `dbus-daemon --session`; address() is empty when it could not be started.
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    const QString& address() const { return m_address; }
    // A new connection to the bus under a name of its own.
    QDBusConnection connect(const QString& name) const;
    // What makes such connections, for objects that make their own.
    std::function<QDBusConnection(const QString& name)> connector() const
    {
        return [this](const QString& name) { return connect(name); };
    }

private:
    QProcess m_daemon;
    QString m_address;
};

// The data server's object on a private bus (vantor-sim's service), answering from a record the
// test sets, as the interface description types it.
class FlightDataServer {
public:
    explicit FlightDataServer(const PrivateBus& bus);
    ~FlightDataServer();
    FlightDataServer(const FlightDataServer&) = delete;
    FlightDataServer& operator=(const FlightDataServer&) = delete;

    void setRecord(const QVariantMap& record);
    void setValue(const QString& field, const QVariant& value);
    // Takes the object off the bus (as a data server that stops) or puts it back.
    bool setOnBus(bool onBus);
    // Stops answering, as a server process that is stopped, until thaw().
    void freeze();
    void thaw();
    int fillCount() const;
    // Signals PropertiesChanged when the record changes, as vantor-sim does.
    void announceChanges(int perSecond);

private:
    QVariantMap record() const;
    bool setOnBusInThisThread(bool onBus);
    template <typename Work> void inServerThread(Work work);

    const PrivateBus& m_bus;
    QString m_connectionName;
    mutable QMutex m_mutex;
    QVariantMap m_record;
    QThread m_thread;
    QSemaphore m_thawed;
    bool m_frozen = false;
    QObject* m_context = nullptr;                // lives in m_thread; work is run through it
    sim::FlightDataService* m_service = nullptr; // lives in m_thread
};

} // namespace glimrow::test
