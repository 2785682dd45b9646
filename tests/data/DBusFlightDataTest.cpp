#include "support/PrivateBus.h"
#include "support/QtPrinters.h"
#include "support/Waiting.h"

#include "data/DBusFlightData.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QElapsedTimer>

using namespace glimrow;
using glimrow::test::FlightDataServer;
using glimrow::test::PrivateBus;
using glimrow::test::waitFor;

namespace {

// A server that sends the wrong things: LightBits as a text, a 10 000-character DEDLines, and
// none of the other properties.
class CarelessServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "Telvox.clsFlightData")
    Q_PROPERTY(QString LightBits READ text)
    Q_PROPERTY(QString DEDLines READ longText)

public:
    QString text() const { return QStringLiteral("lots"); }
    QString longText() const { return QString(10000, u'D'); }

public slots:
    void FillFlightData() {}
};

// A server whose VantorAy is a text.
class WordyServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "Telvox.clsFlightData")
    Q_PROPERTY(QString VantorAy READ text)

public:
    QString text() const { return QStringLiteral("yes"); }
};

// What the server answered for VantorAy, and the problems told, after `asks` reads.
QStringList activityProblems(DBusFlightData& object, int asks)
{
    QStringList told;
    for (int ask = 0; ask < asks; ++ask) {
        bool answered = false;
        object.requestActivity([&](std::optional<bool>, const QString&) { answered = true; });
        EXPECT_TRUE(waitFor([&] { return answered; }));
        told += object.takeNewProblems();
    }
    return told;
}

// How one request of the object ended, once it has.
struct Answer {
    std::optional<FillOutcome> outcome;
    std::optional<bool> active;
    bool activityAnswered = false;
};

bool requestFill(DBusFlightData& object, Answer& answer)
{
    answer.outcome.reset();
    return object.requestFill(
        [&answer](FillOutcome outcome, const QString&) { answer.outcome = outcome; });
}

} // namespace

TEST(DBusFlightData, AsksWithoutWaitingAndFollowsTheServer)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon missing";
    DBusFlightData object(bus.connector());
    // Made before any server runs: the fill fails, nothing hangs.
    Answer answer;
    ASSERT_TRUE(requestFill(object, answer));
    ASSERT_TRUE(waitFor([&] { return answer.outcome.has_value(); }));
    EXPECT_EQ(*answer.outcome, FillOutcome::Failed);
    EXPECT_THROW(object.readNumber(FlightDataField::RPM), FlightDataError);

    FlightDataServer server(bus);
    server.setRecord({{"RPM", 87.5},
                      {"LightBits", -1},
                      {"DEDLines", QString::fromLatin1("COM1\x01 \xa6")},
                      {"VantorAy", true}});
    ASSERT_TRUE(requestFill(object, answer));
    EXPECT_FALSE(requestFill(object, answer)) << "a second fill while the first is on its way";
    ASSERT_TRUE(waitFor([&] { return answer.outcome.has_value(); }));
    EXPECT_EQ(*answer.outcome, FillOutcome::Filled);
    EXPECT_EQ(server.fillCount(), 1);
    EXPECT_EQ(object.readNumber(FlightDataField::RPM), 87.5);
    EXPECT_EQ(object.readNumber(FlightDataField::LightBits), -1);
    EXPECT_EQ(object.readText(FlightDataField::DEDLines), QString::fromLatin1("COM1\x01 \xa6"));
    EXPECT_TRUE(object.takeNewProblems().isEmpty());

    // VantorAy is asked for live.
    server.setValue("VantorAy", false);
    ASSERT_TRUE(object.requestActivity([&answer](std::optional<bool> active, const QString&) {
        answer.active = active;
        answer.activityAnswered = true;
    }));
    ASSERT_TRUE(waitFor([&] { return answer.activityAnswered; }));
    EXPECT_EQ(answer.active, std::optional<bool>(false));

    // A server that stops answering: no answer within the timeout, and the window's thread
    // was never held.
    server.freeze();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(requestFill(object, answer));
    EXPECT_LT(clock.elapsed(), 100);
    ASSERT_TRUE(waitFor([&] { return answer.outcome.has_value(); }));
    EXPECT_EQ(*answer.outcome, FillOutcome::NoAnswer);
    EXPECT_THROW(object.readNumber(FlightDataField::RPM), FlightDataError); // no stale values
    server.thaw();
    ASSERT_TRUE(requestFill(object, answer));
    ASSERT_TRUE(waitFor([&] { return answer.outcome == FillOutcome::Filled; }));
}

TEST(DBusFlightData, WrongTypesAndMissingPropertiesAreToldOnceAndLongTextsCut)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon missing";
    QDBusConnection serverBus = bus.connect(QStringLiteral("careless"));
    CarelessServer server;
    ASSERT_TRUE(serverBus.registerObject(DBusFlightData::kPath, &server,
                                         QDBusConnection::ExportAllContents));
    ASSERT_TRUE(serverBus.registerService(DBusFlightData::kService));

    DBusFlightData object(bus.connector());
    Answer answer;
    ASSERT_TRUE(requestFill(object, answer));
    ASSERT_TRUE(waitFor([&] { return answer.outcome.has_value(); }));
    EXPECT_EQ(*answer.outcome, FillOutcome::Filled);
    const QStringList problems = object.takeNewProblems();
    EXPECT_TRUE(problems.contains("Property LightBits is QString, expected a number"))
        << problems.join('\n').toStdString();
    EXPECT_TRUE(problems.contains("Property RPM is not available"));
    EXPECT_EQ(object.readText(FlightDataField::DEDLines).size(), DBusFlightData::kMaxTextLength);

    ASSERT_TRUE(requestFill(object, answer));
    ASSERT_TRUE(waitFor([&] { return answer.outcome.has_value(); }));
    EXPECT_TRUE(object.takeNewProblems().isEmpty()) << "each problem is told once";

    // VantorAy, read live between cycles (while the server is inactive, only it is read), is
    // told like the others: missing, or a text.
    DBusFlightData watchdogOnly(bus.connector());
    EXPECT_EQ(activityProblems(watchdogOnly, 2), QStringList("Property VantorAy is not available"));
    serverBus.unregisterObject(DBusFlightData::kPath);
    WordyServer wordy;
    ASSERT_TRUE(serverBus.registerObject(DBusFlightData::kPath, &wordy,
                                         QDBusConnection::ExportAllContents));
    EXPECT_EQ(activityProblems(watchdogOnly, 2),
              QStringList("Property VantorAy is QString, expected a boolean"));
}

TEST(DBusFlightData, AConnectionTheBusLibraryClosedIsMadeAfresh)
{
    PrivateBus bus;
    ASSERT_FALSE(bus.address().isEmpty()) << "dbus-daemon missing";
    FlightDataServer server(bus);
    server.setRecord({{"RPM", 87.5}, {"VantorAy", true}});
    // The first connection is closed, as the bus library leaves one after an answer too large
    // for it; the next one works.
    QStringList made;
    DBusFlightData object([&](const QString& name) {
        made << name;
        return made.size() == 1 ? QDBusConnection::connectToBus("unix:path=/nonexistent", name)
                                : bus.connect(name);
    });
    Answer answer;
    ASSERT_TRUE(requestFill(object, answer));
    ASSERT_TRUE(waitFor([&] { return answer.outcome.has_value(); }));
    EXPECT_EQ(answer.outcome, FillOutcome::Filled);
    EXPECT_EQ(made.size(), 2);
    EXPECT_NE(made[0], made[1]);
    EXPECT_EQ(object.readNumber(FlightDataField::RPM), 87.5);
}

#include "DBusFlightDataTest.moc"
