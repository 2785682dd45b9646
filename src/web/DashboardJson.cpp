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

// Grids are written by hand: they are most of the state, written ten times a second, and
// building QJsonObjects for them cost several times the writing.
void appendString(QByteArray& out, const QString& text)
{
    out += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            if (uchar(c) < 0x20)
                out += "\\u00" + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    out += '"';
}

void appendRow(QByteArray& out, const MemoryGrid& grid, CockpitGrid which, int row)
{
    out += "{\"cells\":[";
    QByteArray colours;
    for (int column = 0; column < grid.columnCount(); ++column) {
        if (column > 0)
            out += ',';
        appendString(out, grid.text(row, column));
        if (const QString colour = colourName(grid.colour(row, column)); !colour.isEmpty()) {
            colours += colours.isEmpty() ? "" : ",";
            colours += '"' + QByteArray::number(column) + "\":";
            appendString(colours, colour);
        }
    }
    out += ']';
    if (!colours.isEmpty())
        out += ",\"colours\":{" + colours + '}';
    if (isLampGrid(which) && grid.columnCount() > kLampColumn)
        out += grid.text(row, kLampColumn).isEmpty() ? ",\"lamp\":\"dark\"" : ",\"lamp\":\"lit\"";
    if (which == CockpitGrid::Devices) {
        out += ",\"meaning\":";
        appendString(out, PhidgetDeviceManager::colourMeaning(grid.colour(row, 1)));
    }
    out += '}';
}

QByteArray gridText(const CockpitState& state, CockpitGrid which)
{
    const MemoryGrid& grid = state.shownGrid(which);
    QByteArray out = "{\"caption\":";
    appendString(out, gridCaption(which));
    out += ",\"kind\":";
    appendString(out, kindOf(which));
    out += isTestable(which) ? ",\"testable\":true" : ",\"testable\":false";
    out += ",\"headers\":[";
    for (int column = 0; column < grid.columnCount(); ++column) {
        if (column > 0)
            out += ',';
        appendString(out, grid.text(0, column));
    }
    out += "],\"rows\":[";
    for (int row = 1; row < grid.rowCount(); ++row) {
        if (row > 1)
            out += ',';
        appendRow(out, grid, which, row);
    }
    out += "],\"stale\":{";
    bool first = true;
    for (const auto& [column, why] : grid.stale) {
        if (why.isEmpty() || column >= grid.columnCount())
            continue;
        out += first ? "\"" : ",\"";
        first = false;
        out += QByteArray::number(column) + "\":";
        appendString(out, why);
    }
    return out + "}}";
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

QByteArray dashboardPartText(const CockpitState& state, int part)
{
    if (part < kCockpitGridCount)
        return gridText(state, CockpitGrid(part));
    QJsonObject json;
    switch (part) {
    case CockpitState::kLabelsPart:
        json = labelsJson(state);
        break;
    case CockpitState::kConnectionPart:
        json = connectionJson(state);
        break;
    case CockpitState::kStatusPart:
        json = statusJson(state);
        break;
    default:
        json = messagesJson(state);
    }
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
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
        member += dashboardPartText(m_state, part);
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
