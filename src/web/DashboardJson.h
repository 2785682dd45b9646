#pragma once

// The cockpit's state as the dashboard sends it and GET /api/state returns it: one JSON object
// per part (each grid, the labels, the connection, the status, the messages), so that a page
// can be sent only the parts that changed. The README describes the schema.

#include "cockpit/CockpitState.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <array>
#include <vector>

namespace glimrow {

// The part's name in the state ("PLED64-1", "labels", "connection", ...).
QString dashboardPartName(int part);
// The part as a JSON object's text.
QByteArray dashboardPartText(const CockpitState& state, int part);

// A part as written out: `"name":{...}`, ready to go between the braces of a JSON object.
struct WrittenPart {
    int part = 0;
    quint64 revision = 0;
    QByteArray member;
};
using WrittenParts = std::array<WrittenPart, CockpitState::kPartCount>;

// {"schema":1,"parts":{...}} with every part.
QByteArray wholeDashboardState(const WrittenParts& parts);

// Writes out the parts that changed since it last looked, each once however many pages get it.
class DashboardParts {
public:
    // The first call writes every part.
    explicit DashboardParts(const CockpitState& state) : m_state(state)
    {
        m_written.fill(~quint64(0));
    }
    std::vector<WrittenPart> changed();

private:
    const CockpitState& m_state;
    std::array<quint64, CockpitState::kPartCount> m_written;
};

} // namespace glimrow
