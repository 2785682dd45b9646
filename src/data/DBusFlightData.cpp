#include "data/DBusFlightData.h"

#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusVariant>
#include <QLoggingCategory>

namespace glimrow {

Q_LOGGING_CATEGORY(lcFlightData, "glimrow.flightdata", QtWarningMsg)

namespace {

const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

bool isNoAnswer(const QDBusError& error)
{
    return error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout ||
           error.type() == QDBusError::TimedOut;
}

// One line a user can act on; the bus's own wording only where no plainer one is known.
QString describe(const char* what, const QDBusError& error)
{
    if (error.type() == QDBusError::ServiceUnknown)
        return QStringLiteral("The data server is not on the session bus");
    if (isNoAnswer(error))
        return QStringLiteral("The data server does not answer (it is on the bus but busy or "
                              "hung; %1)")
            .arg(error.name());
    return QStringLiteral("%1: %2 (%3)")
        .arg(QLatin1StringView(what), error.message(), error.name());
}

// Whether the server answered, refusing the property itself (rather than not being there).
bool isPropertyRefused(const QDBusError& error)
{
    switch (error.type()) {
    case QDBusError::InvalidArgs:
    case QDBusError::UnknownProperty:
    case QDBusError::UnknownInterface:
    case QDBusError::PropertyReadOnly:
        return true;
    default:
        return false;
    }
}

// Runs `finished` once the call is answered or has timed out, unless `slot` is emptied first.
template <typename Finished>
void watch(std::unique_ptr<QDBusPendingCallWatcher>& slot, const QDBusPendingCall& call,
           Finished finished)
{
    slot = std::make_unique<QDBusPendingCallWatcher>(call);
    QObject::connect(slot.get(), &QDBusPendingCallWatcher::finished, slot.get(),
                     [&slot, finished](QDBusPendingCallWatcher* watcher) mutable {
                         // Free the slot before reporting: the report may ask again.
                         slot.release()->deleteLater();
                         finished(*watcher);
                     });
}

// Receives the object's PropertiesChanged signal, which the bus delivers only to a slot.
class PropertiesChangedListener : public QObject {
    Q_OBJECT

public:
    explicit PropertiesChangedListener(std::function<void()> changed)
        : m_changed(std::move(changed))
    {
    }

public slots:
    void propertiesChanged(const QString& interface, const QVariantMap&, const QStringList&)
    {
        if (interface == DBusFlightData::kInterface)
            m_changed();
    }

private:
    std::function<void()> m_changed;
};

} // namespace

const QString DBusFlightData::kService = QStringLiteral("Telvox.clsFlightData");
const QString DBusFlightData::kPath = QStringLiteral("/clsFlightData");
const QString DBusFlightData::kInterface = QStringLiteral("Telvox.clsFlightData");

DBusFlightData::BusConnector DBusFlightData::sessionBus()
{
    return [](const QString& name) {
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    };
}

DBusFlightData::DBusFlightData(BusConnector connector, int timeoutMs)
    : m_connector(std::move(connector)), m_bus(QString()), m_timeoutMs(timeoutMs)
{
    connectAfresh();
}

DBusFlightData::~DBusFlightData()
{
    m_changeListener.reset();
    m_presence.reset();
    m_fillAnswer.reset();
    m_activityAnswer.reset();
    QDBusConnection::disconnectFromBus(m_connectionName);
}

void DBusFlightData::connectAfresh()
{
    static int connections = 0;
    if (!m_connectionName.isEmpty())
        QDBusConnection::disconnectFromBus(m_connectionName);
    m_connectionName = QStringLiteral("glimrow-flight-data-%1").arg(++connections);
    m_bus = m_connector(m_connectionName);
    if (m_presenceChanged)
        watchPresence(m_presenceChanged);
    if (m_changed)
        watchChanges(m_changed);
}

void DBusFlightData::watchPresence(std::function<void(bool present)> changed)
{
    m_presenceChanged = std::move(changed);
    m_presence = std::make_unique<QDBusServiceWatcher>(kService, m_bus,
                                                       QDBusServiceWatcher::WatchForOwnerChange);
    QObject::connect(m_presence.get(), &QDBusServiceWatcher::serviceOwnerChanged, m_presence.get(),
                     [this](const QString&, const QString&, const QString& newOwner) {
                         m_presenceChanged(!newOwner.isEmpty());
                     });
}

void DBusFlightData::watchChanges(std::function<void()> changed)
{
    m_changed = std::move(changed);
    m_changeListener = std::make_unique<PropertiesChangedListener>(m_changed);
    if (!m_bus.connect(kService, kPath, kPropertiesInterface, QStringLiteral("PropertiesChanged"),
                       m_changeListener.get(),
                       SLOT(propertiesChanged(QString, QVariantMap, QStringList)))) {
        qCWarning(lcFlightData, "cannot follow the data server's changes; polling only");
    }
}

void DBusFlightData::replaceBrokenConnection()
{
    const qint64 forgottenAfterMs = 4 * qint64(m_timeoutMs) + 1000;
    const bool fillForgotten = m_fillAnswer && m_fillAsked.elapsed() > forgottenAfterMs;
    const bool activityForgotten = m_activityAnswer && m_activityAsked.elapsed() > forgottenAfterMs;
    if (m_bus.isConnected() && !fillForgotten && !activityForgotten)
        return;
    qCWarning(lcFlightData, "the bus connection to the data server broke; making a new one");
    // Deleting the watchers drops the answers that will never come.
    m_fillAnswer.reset();
    m_activityAnswer.reset();
    connectAfresh();
}

QDBusMessage DBusFlightData::fillAndSnapshotCall()
{
    m_snapshot.clear(); // a failed fill must not leave the last cycle's values readable
    // The fill is sent without waiting for its reply: messages on one connection reach the
    // server in order, so by the time it answers GetAll it has filled, and a server that is
    // gone fails the GetAll.
    m_bus.send(QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                              QStringLiteral("FillFlightData")));
    QDBusMessage getAll = QDBusMessage::createMethodCall(kService, kPath, kPropertiesInterface,
                                                         QStringLiteral("GetAll"));
    getAll << kInterface;
    return getAll;
}

QDBusMessage DBusFlightData::activityCall() const
{
    QDBusMessage get = QDBusMessage::createMethodCall(kService, kPath, kPropertiesInterface,
                                                      QStringLiteral("Get"));
    get << kInterface << QString::fromLatin1(fieldInfo(FlightDataField::VantorAy).name);
    return get;
}

void DBusFlightData::FillFlightData()
{
    const QDBusReply<QVariantMap> snapshot =
        m_bus.call(fillAndSnapshotCall(), QDBus::Block, m_timeoutMs);
    if (!snapshot.isValid()) {
        throw FlightDataError(
            describe("FillFlightData or reading the flight data failed", snapshot.error())
                .toStdString());
    }
    takeSnapshot(snapshot.value());
}

bool DBusFlightData::requestFill(FillDone done)
{
    replaceBrokenConnection();
    if (m_fillAnswer)
        return false;
    m_fillAsked.start();
    const QDBusPendingCall call = m_bus.asyncCall(fillAndSnapshotCall(), m_timeoutMs);
    watch(m_fillAnswer, call, [this, done](QDBusPendingCallWatcher& answer) {
        const QDBusPendingReply<QVariantMap> snapshot = answer;
        if (snapshot.isError()) {
            done(isNoAnswer(snapshot.error()) ? FillOutcome::NoAnswer : FillOutcome::Failed,
                 describe("FillFlightData or reading the flight data failed", snapshot.error()));
            return;
        }
        takeSnapshot(snapshot.value());
        done(FillOutcome::Filled, QString());
    });
    return true;
}

bool DBusFlightData::requestActivity(ActivityDone done)
{
    replaceBrokenConnection();
    if (m_activityAnswer)
        return false;
    m_activityAsked.start();
    const QDBusPendingCall call = m_bus.asyncCall(activityCall(), m_timeoutMs);
    watch(m_activityAnswer, call, [this, done](QDBusPendingCallWatcher& answer) {
        const QDBusPendingReply<QDBusVariant> reply = answer;
        if (reply.isError()) {
            // A VantorAy the server does not have is told like any other property.
            if (isPropertyRefused(reply.error()))
                noteProblem(QStringLiteral("Property VantorAy is not available"));
            done(std::nullopt, describe("Reading VantorAy failed", reply.error()));
            return;
        }
        answerActivity(done, [this, &reply] {
            try {
                return toBoolean(FlightDataField::VantorAy, reply.value().variant());
            } catch (const FlightDataError& error) {
                noteProblem(QString::fromStdString(error.what()));
                throw;
            }
        });
    });
    return true;
}

void DBusFlightData::takeSnapshot(QVariantMap snapshot)
{
    for (const FlightDataFieldInfo& info : flightDataFields()) {
        if (info.type != FlightDataType::Text)
            continue;
        const auto text = snapshot.find(QLatin1StringView(info.name));
        if (text == snapshot.end() || text->typeId() != QMetaType::QString ||
            text->toString().size() <= kMaxTextLength)
            continue;
        if (!m_longTextLogged) {
            qCWarning(lcFlightData, "%s is %lld characters long; only the first %lld are used",
                      info.name, static_cast<long long>(text->toString().size()),
                      static_cast<long long>(kMaxTextLength));
            m_longTextLogged = true;
        }
        *text = text->toString().left(kMaxTextLength);
    }
    m_snapshot = std::move(snapshot);
    if (m_snapshotTaken)
        m_snapshotTaken(m_snapshot);
    noteProblems();
}

void DBusFlightData::noteProblems()
{
    // Whether a field reads depends only on its presence and type: check the fields again
    // only when those change, not on every cycle.
    QList<int> shape;
    shape.reserve(qsizetype(flightDataFields().size()));
    for (const FlightDataFieldInfo& info : flightDataFields())
        shape << m_snapshot.value(QLatin1StringView(info.name)).typeId();
    if (shape == m_checkedShape)
        return;
    m_checkedShape = shape;
    for (const QString& problem : unreadableFields())
        noteProblem(problem);
}

void DBusFlightData::noteProblem(const QString& problem)
{
    if (!m_problemsTold.contains(problem)) {
        m_problemsTold.insert(problem);
        m_newProblems << problem;
    }
}

void DBusFlightData::Close()
{
    m_bus.send(
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Close")));
}

QVariant DBusFlightData::property(FlightDataField field)
{
    const QString name = QLatin1StringView(fieldInfo(field).name);
    const auto found = m_snapshot.constFind(name);
    if (found == m_snapshot.cend())
        throw FlightDataError(
            QStringLiteral("Property %1 is not available").arg(name).toStdString());
    return *found;
}

} // namespace glimrow

#include "DBusFlightData.moc"
