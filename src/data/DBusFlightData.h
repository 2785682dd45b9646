#pragma once

// The data server's flight-data object over D-Bus (name Telvox.clsFlightData, path
// /clsFlightData). Creating it needs no running server: calls fail while the name has no
// owner and reach the server as soon as it appears or comes back.
//
// The properties are defined as current as of the last FillFlightData, so one fill plus one
// GetAll snapshot serves every read of a cycle; the fill is sent without waiting for its reply,
// so both cost one round trip. The program asks without waiting (requestFill,
// requestActivity): a server that hangs must not freeze the window, and one that does not
// answer within the timeout counts as not answering at all.
//
// The object talks over a bus connection of its own. An answer too large for the bus library
// (tens of megabytes of text) can leave a connection that never answers again; on its own
// connection that harms nothing else, and a connection whose question goes unanswered far past
// the timeout is dropped and made afresh, so the object recovers once the server behaves.

#include "data/FlightDataObject.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QElapsedTimer>
#include <QSet>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <utility>

namespace glimrow {

class DBusFlightData final : public FlightDataObject {
public:
    static const QString kService;
    static const QString kPath;
    static const QString kInterface;
    // The renderers need 130 characters; a longer text is cut to this many.
    static constexpr qsizetype kMaxTextLength = 4096;

    // Makes a connection to the bus under the name given.
    using BusConnector = std::function<QDBusConnection(const QString& name)>;
    static BusConnector sessionBus();

    explicit DBusFlightData(BusConnector connector, int timeoutMs = 500);
    ~DBusFlightData() override;

    // Blocks for at most the timeout; the program uses requestFill.
    void FillFlightData() override;
    // Sent without waiting: the object is being let go, and a failure would change nothing.
    void Close() override;
    QVariant property(FlightDataField field) override;

    bool requestFill(FillDone done) override;
    bool requestActivity(ActivityDone done) override;
    QStringList takeNewProblems() override { return std::exchange(m_newProblems, {}); }
    // Follows the owner of the data server's name on the bus (NameOwnerChanged).
    void watchPresence(std::function<void(bool present)> changed) override;
    void watchSnapshots(std::function<void(const QVariantMap& snapshot)> taken) override
    {
        m_snapshotTaken = std::move(taken);
    }
    // Follows the object's PropertiesChanged signal for the flight-data interface.
    void watchChanges(std::function<void()> changed) override;

private:
    // A fresh connection when the bus library dropped this one, or when a question has gone
    // unanswered far past its timeout (the library then never answers it).
    void replaceBrokenConnection();
    void connectAfresh();
    QDBusMessage fillAndSnapshotCall();
    QDBusMessage activityCall() const;
    void takeSnapshot(QVariantMap snapshot);
    void noteProblems();
    // Keeps `problem` to be told, unless it was told before.
    void noteProblem(const QString& problem);

    BusConnector m_connector;
    QString m_connectionName;
    QDBusConnection m_bus;
    int m_timeoutMs;
    QElapsedTimer m_fillAsked;
    QElapsedTimer m_activityAsked;
    QVariantMap m_snapshot;
    bool m_longTextLogged = false;
    QStringList m_newProblems;
    QSet<QString> m_problemsTold;
    QList<int> m_checkedShape; // each field's type id (0: missing) when last checked
    // The requests on their way; deleting one drops its answer.
    std::unique_ptr<QDBusPendingCallWatcher> m_fillAnswer;
    std::unique_ptr<QDBusPendingCallWatcher> m_activityAnswer;
    std::function<void(bool present)> m_presenceChanged;
    std::function<void(const QVariantMap& snapshot)> m_snapshotTaken;
    std::unique_ptr<QDBusServiceWatcher> m_presence;
    std::function<void()> m_changed;
    std::unique_ptr<QObject> m_changeListener; // receives PropertiesChanged on m_bus
};

} // namespace glimrow
