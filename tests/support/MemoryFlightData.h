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
        // Every property after the refresh, as the D-Bus object offers them. Made again only
        // when the values changed (a change detaches them from the copy kept here), so that
        // the fake costs a cycle no more than the D-Bus object's ready snapshot does.
        if (m_snapshotTaken) {
            if (!(values == m_snapshotValues)) {
                m_snapshot.clear();
                for (auto value = values.cbegin(); value != values.cend(); ++value)
                    m_snapshot.insert(QLatin1StringView(fieldInfo(value.key()).name),
                                      value.value());
                m_snapshotValues = values;
            }
            m_snapshotTaken(m_snapshot);
        }
    }
    void watchSnapshots(std::function<void(const QVariantMap&)> taken) override
    {
        m_snapshotTaken = std::move(taken);
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

private:
    std::function<void(const QVariantMap&)> m_snapshotTaken;
    QHash<FlightDataField, QVariant> m_snapshotValues;
    QVariantMap m_snapshot;

public:
    FlightDataObject* flightDataObject() const override
    {
        return present ? const_cast<MemoryFlightData*>(this) : nullptr;
    }
};

} // namespace glimrow::test
