#pragma once

// The data server's flight-data object as the program uses it: refresh, close, and reads of
// the record's fields by name. The D-Bus client implements it; tests implement it in memory.

#include "data/FlightDataRecord.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <optional>
#include <stdexcept>

namespace glimrow {

// A call on the object that failed: no data server, a missing property, a value of the wrong
// type. The consumer's step ends there; the update cycle goes on with its next step.
class FlightDataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How a refresh requested with requestFill ended. NoAnswer: the server did not answer in time,
// so it is not active whatever it said last.
enum class FillOutcome { Filled, Failed, NoAnswer };
using FillDone = std::function<void(FillOutcome outcome, const QString& why)>;
// VantorAy as the server answered it, or nothing (and why) when it could not be read.
using ActivityDone = std::function<void(std::optional<bool> active, const QString& why)>;

class FlightDataObject {
public:
    virtual ~FlightDataObject() = default;
    FlightDataObject(const FlightDataObject&) = delete;
    FlightDataObject& operator=(const FlightDataObject&) = delete;

    // Refreshes every property from the data server. Throws FlightDataError.
    virtual void FillFlightData() = 0;
    // Ends the object's link to the data server. Throws FlightDataError.
    virtual void Close() = 0;
    // The field's value as of the last FillFlightData (VantorAy: as of now).
    // Throws FlightDataError when it cannot be read.
    virtual QVariant property(FlightDataField field) = 0;

    // Checked reads on top of property(): a value of another type is a FlightDataError, never
    // a silent zero.
    double readNumber(FlightDataField field);
    QString readText(FlightDataField field);
    bool readBoolean(FlightDataField field);
    // `value` of `field` as a boolean: a boolean, or a number other than 0.
    static bool toBoolean(FlightDataField field, const QVariant& value);
    // Why each field that cannot be read as its type cannot (missing, another type).
    QStringList unreadableFields();

    // A refresh, and a read of VantorAy, that report through `done`. An object whose server
    // can keep it waiting answers later, from the event loop, and takes one request of each
    // kind at a time: it returns false, and never calls `done`, while the last is on its way.
    // This one answers at once.
    virtual bool requestFill(FillDone done);
    virtual bool requestActivity(ActivityDone done);
    // Problems with what the server sends that have not been told before; each is told once.
    virtual QStringList takeNewProblems() { return {}; }
    // `changed` is told when the data server leaves (false) or comes (true), as it happens,
    // where the object can see that; this one cannot.
    virtual void watchPresence(std::function<void(bool present)> changed) { (void)changed; }
    // `taken` is given every property, as the server sent it, after each refresh; an object
    // that has no such snapshot never calls it.
    virtual void watchSnapshots(std::function<void(const QVariantMap& snapshot)> taken)
    {
        (void)taken;
    }
    // `changed` is told when the data server says its properties changed since the last
    // refresh, where it says so; a server that does not is only polled.
    virtual void watchChanges(std::function<void()> changed) { (void)changed; }

protected:
    // Gives `done` what `read` returns, or why it threw.
    static void answerActivity(const ActivityDone& done, const std::function<bool()>& read);
    // Only implementations are constructed; the program holds them through this interface.
    FlightDataObject() = default;
};

} // namespace glimrow
