#include "web/DashboardJson.h"

#include "phidget/PhidgetDeviceManager.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace glimrow {

namespace {

constexpr int kLampColumn = 2;        // where a lamp grid shows "*" for a lit lamp
constexpr int kDescriptionColumn = 1; // every grid of a testable section has it there

QString colourName(CellColour colour)
{
    switch (colour) {
    case CellColour::Green:
        return QStringLiteral("green");
    case CellColour::Red:
        return QStringLiteral("red");
    case CellColour::Yellow:
        return QStringLiteral("yellow");
    case CellColour::Normal:
        break;
    }
    return QString();
}

bool isLampGrid(CockpitGrid grid)
{
    return grid == CockpitGrid::PLED64_1 || grid == CockpitGrid::PLED64_2 ||
           grid == CockpitGrid::P01616_1 || grid == CockpitGrid::P01616_2;
}

bool isTestable(CockpitGrid grid)
{
    return grid != CockpitGrid::SKITS && grid != CockpitGrid::Devices;
}

QString kindOf(CockpitGrid grid)
{
    if (isLampGrid(grid))
        return QStringLiteral("lamps");
    switch (grid) {
    case CockpitGrid::PTLED_1:
    case CockpitGrid::PTLED_2:
    case CockpitGrid::PTLCD_1:
    case CockpitGrid::PTLCD_2:
        return QStringLiteral("text");
    case CockpitGrid::SKITS:
        return QStringLiteral("gauges");
    case CockpitGrid::EPICAnalogs:
        return QStringLiteral("epic");
    default:
        return QStringLiteral("devices");
    }
}

QJsonObject rowJson(const MemoryGrid& grid, CockpitGrid which, int row)
{
    QJsonArray cells;
    QJsonObject colours;
    for (int column = 0; column < grid.columnCount(); ++column) {
        cells.append(grid.text(row, column));
        if (const QString colour = colourName(grid.colour(row, column)); !colour.isEmpty())
            colours.insert(QString::number(column), colour);
    }
    QJsonObject json{{QStringLiteral("cells"), cells}};
    if (!colours.isEmpty())
        json.insert(QStringLiteral("colours"), colours);
    if (isLampGrid(which) && grid.columnCount() > kLampColumn) {
        json.insert(QStringLiteral("lamp"), grid.text(row, kLampColumn).isEmpty()
                                                ? QStringLiteral("dark")
                                                : QStringLiteral("lit"));
    }
    if (which == CockpitGrid::Devices) {
        json.insert(QStringLiteral("meaning"),
                    PhidgetDeviceManager::colourMeaning(grid.colour(row, 1)));
    }
    return json;
}

QJsonObject gridJson(const CockpitState& state, CockpitGrid which)
{
    const MemoryGrid& grid = state.shownGrid(which);
    QJsonArray headers;
    for (int column = 0; column < grid.columnCount(); ++column)
        headers.append(grid.text(0, column));
    QJsonArray rows;
    for (int row = 1; row < grid.rowCount(); ++row)
        rows.append(rowJson(grid, which, row));
    QJsonObject stale;
    for (const auto& [column, why] : grid.stale) {
        if (!why.isEmpty() && column < grid.columnCount())
            stale.insert(QString::number(column), why);
    }
    return {{QStringLiteral("caption"), gridCaption(which)},
            {QStringLiteral("kind"), kindOf(which)},
            {QStringLiteral("testable"), isTestable(which)},
            {QStringLiteral("headers"), headers},
            {QStringLiteral("rows"), rows},
            {QStringLiteral("stale"), stale}};
}

QJsonObject labelJson(const MemoryLabel& label)
{
    return {{QStringLiteral("text"), label.text}, {QStringLiteral("stale"), label.stale}};
}

QJsonObject labelsJson(const CockpitState& state)
{
    return {
        {QStringLiteral("DED"), labelJson(state.shownLabel(CockpitLabel::DED))},
        {QStringLiteral("PFD"), labelJson(state.shownLabel(CockpitLabel::PFL))},
        {QStringLiteral("gForce"), labelJson(state.shownLabel(CockpitLabel::GForce))},
        {QStringLiteral("servoOutput1"), labelJson(state.shownLabel(CockpitLabel::ServoOutput1))},
        {QStringLiteral("servoOutput2"), labelJson(state.shownLabel(CockpitLabel::ServoOutput2))}};
}

QJsonObject connectionJson(const CockpitState& state)
{
    return {{QStringLiteral("serverState"), state.serverState()},
            {QStringLiteral("status"), state.connectionStatus()},
            {QStringLiteral("mode"),
             state.isDcomShown() ? QStringLiteral("DCOM") : QStringLiteral("TCP/IP")},
            {QStringLiteral("address"), state.serverAddress()},
            {QStringLiteral("port"), state.serverPort()}};
}

QJsonObject statusJson(const CockpitState& state)
{
    QJsonValue underTest;
    if (const auto line = state.outputUnderTest()) {
        const MemoryGrid& grid = state.shownGrid(line->grid);
        const int row = line->line + 1;
        underTest = QJsonObject{{QStringLiteral("section"), gridKey(line->grid)},
                                {QStringLiteral("caption"), gridCaption(line->grid)},
                                {QStringLiteral("line"), line->line},
                                {QStringLiteral("description"),
                                 row < grid.rowCount() && grid.columnCount() > kDescriptionColumn
                                     ? grid.text(row, kDescriptionColumn)
                                     : QString()}};
    }
    return {{QStringLiteral("activity"), state.activity()},
            {QStringLiteral("notice"), state.lastNotice()},
            {QStringLiteral("lampBrightness"), state.lampBrightness()},
            {QStringLiteral("allLampsOn"), state.allLampsOn()},
            {QStringLiteral("noScreenUpdate"), state.noScreenUpdate()},
            {QStringLiteral("underTest"), underTest}};
}

QJsonObject messagesJson(const CockpitState& state)
{
    return {{QStringLiteral("lines"), QJsonArray::fromStringList(state.messages())}};
}

} // namespace

QString dashboardPartName(int part)
{
    if (part < kCockpitGridCount)
        return gridKey(CockpitGrid(part));
    switch (part) {
    case CockpitState::kLabelsPart:
        return QStringLiteral("labels");
    case CockpitState::kConnectionPart:
        return QStringLiteral("connection");
    case CockpitState::kStatusPart:
        return QStringLiteral("status");
    default:
        return QStringLiteral("messages");
    }
}

QJsonObject dashboardPartJson(const CockpitState& state, int part)
{
    if (part < kCockpitGridCount)
        return gridJson(state, CockpitGrid(part));
    switch (part) {
    case CockpitState::kLabelsPart:
        return labelsJson(state);
    case CockpitState::kConnectionPart:
        return connectionJson(state);
    case CockpitState::kStatusPart:
        return statusJson(state);
    default:
        return messagesJson(state);
    }
}

std::vector<WrittenPart> DashboardParts::changed()
{
    std::vector<WrittenPart> changed;
    for (int part = 0; part < CockpitState::kPartCount; ++part) {
        const quint64 revision = m_state.revision(part);
        quint64& written = m_written.at(std::size_t(part));
        if (written == revision)
            continue;
        written = revision;
        // Part names are plain ASCII words: they need no escaping.
        QByteArray member = '"' + dashboardPartName(part).toLatin1() + "\":";
        member += QJsonDocument(dashboardPartJson(m_state, part)).toJson(QJsonDocument::Compact);
        changed.push_back({part, revision, std::move(member)});
    }
    return changed;
}

QByteArray wholeDashboardState(const WrittenParts& parts)
{
    QByteArray text = "{\"schema\":1,\"parts\":{";
    for (const WrittenPart& part : parts) {
        if (part.part > 0)
            text += ',';
        text += part.member;
    }
    return text + "}}";
}

} // namespace glimrow
