#pragma once

// An in-memory data server object for tests: each property answers what the test put there
// (a missing one fails like an unanswered read), and it counts the calls made on it.

#include "data/ConnectionManager.h"
#include "data/FlightDataObject.h"

#include <QHash>
#include <QStringList>
#include <QVariant>

namespace glimrow::test {

class MemoryFlightData : public FlightDataObject, public FlightDataSource {
public:
    QHash<FlightDataField, QVariant> values;
    int fills = 0;
    bool failFill = false;
    bool present = true;          // false: no object at all, as in TCP/IP mode
    QStringList* calls = nullptr; // when set, every fill and read is written down in order

    void set(FlightDataField field, const QVariant& value) { values[field] = value; }

    void FillFlightData() override
    {
        ++fills;
        if (calls)
            *calls << "FillFlightData";
        if (failFill)
            throw FlightDataError("server gone");
    }
    void Close() override {}
    QVariant property(FlightDataField field) override
    {
        if (calls)
            *calls << QStringLiteral("read %1").arg(QLatin1StringView(fieldInfo(field).name));
        if (!values.contains(field))
            throw FlightDataError(std::string("no value for ") + fieldInfo(field).name);
        return values.value(field);
    }

    bool isDcomSelected() const override { return present; }
    void serverFailed(const QString&) override { ++silences; }
    void reportServerProblem(const QString& text) override { problems << text; }
    int silences = 0;
    QStringList problems;
    FlightDataObject* flightDataObject() const override
    {
        return present ? const_cast<MemoryFlightData*>(this) : nullptr;
    }
};

} // namespace glimrow::test
