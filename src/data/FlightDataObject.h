#pragma once

// The data server's flight-data object as the program uses it: refresh, close, and reads of
// the record's fields by name. The D-Bus client implements it; tests implement it in memory.

#include "data/FlightDataRecord.h"

#include <QString>
#include <QVariant>

#include <stdexcept>

namespace glimrow {

// A call on the object that failed: no data server, a missing property, a value of the wrong
// type. The consumer's step ends there; the update cycle goes on with its next step.
class FlightDataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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

protected:
    // Only implementations are constructed; the program holds them through this interface.
    FlightDataObject() = default;
};

} // namespace glimrow
