#pragma once

// The cockpit's state as the dashboard sends it and GET /api/state returns it: one JSON object
// per part (each grid, the labels, the connection, the status, the messages), so that a page
// can be sent only the parts that changed. The README describes the schema.

#include "cockpit/CockpitState.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <array>

namespace glimrow {

// The part's name in the state ("PLED64-1", "labels", "connection", ...).
QString dashboardPartName(int part);
QJsonObject dashboardPartJson(const CockpitState& state, int part);

// Each part written out once per revision, however many pages ask for it.
class DashboardParts {
public:
    explicit DashboardParts(const CockpitState& state) : m_state(state) {}

    // `"name":{...}`, ready to go between the braces of a JSON object.
    const QByteArray& member(int part);
    // {"schema":1,"parts":{...}} with every part.
    QByteArray whole();

private:
    struct Written {
        quint64 revision = ~quint64(0);
        QByteArray text;
    };
    const CockpitState& m_state;
    std::array<Written, CockpitState::kPartCount> m_written;
};

} // namespace glimrow
