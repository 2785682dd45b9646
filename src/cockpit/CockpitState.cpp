#include "cockpit/CockpitState.h"

namespace glimrow {

namespace {

const struct {
    CockpitGrid grid;
    const char* key;
    const char* caption;
} kGridNames[] = {
    {CockpitGrid::PLED64_1, "PLED64-1", "PhidgetLED 64 - 1"},
    {CockpitGrid::PLED64_2, "PLED64-2", "PhidgetLED 64 - 2"},
    {CockpitGrid::P01616_1, "P01616-1", "Phidget 0/16/16 - 1"},
    {CockpitGrid::P01616_2, "P01616-2", "Phidget 0/16/16 - 2"},
    {CockpitGrid::PTLED_1, "PTLED-1", "Phidget TextLED - 1"},
    {CockpitGrid::PTLED_2, "PTLED-2", "Phidget TextLED - 2"},
    {CockpitGrid::PTLCD_1, "PTLCD-1", "Phidget TextLCD - 1"},
    {CockpitGrid::PTLCD_2, "PTLCD-2", "Phidget TextLCD - 2"},
    {CockpitGrid::SKITS, "SKITS", "Analog Data"},
    {CockpitGrid::EPICAnalogs, "EPICAnalogs", "Epic Data Settings"},
    {CockpitGrid::Devices, "Devices", "Devices"},
};

} // namespace

QString gridCaption(CockpitGrid grid)
{
    return QString::fromLatin1(kGridNames[int(grid)].caption);
}

QString gridKey(CockpitGrid grid)
{
    return QString::fromLatin1(kGridNames[int(grid)].key);
}

std::optional<CockpitGrid> gridOfKey(const QString& key)
{
    for (const auto& names : kGridNames) {
        if (key == QLatin1StringView(names.key))
            return names.grid;
    }
    return std::nullopt;
}

QString serverProblemLine(const QString& problem)
{
    return QStringLiteral("Data server: ") + problem;
}

CockpitState::KeptGrid::KeptGrid(CockpitState& state, CockpitGrid which)
    : m_state(state), m_shown(state.m_shown.grid(which)), m_part(int(which)),
      m_kept(m_shown.rowCount(), m_shown.columnCount())
{
}

void CockpitState::KeptGrid::setRowCount(int rows)
{
    const bool same = rows == m_kept.rowCount();
    m_kept.setRowCount(rows);
    m_shown.setRowCount(rows);
    if (!same)
        m_state.changed(m_part);
}

void CockpitState::KeptGrid::setColumnCount(int columns)
{
    const bool same = columns == m_kept.columnCount();
    m_kept.setColumnCount(columns);
    m_shown.setColumnCount(columns);
    if (!same)
        m_state.changed(m_part);
}

void CockpitState::KeptGrid::setColumnWidth(int column, int twips)
{
    m_kept.setColumnWidth(column, twips);
    m_shown.setColumnWidth(column, twips);
}

void CockpitState::KeptGrid::setColumnAlignment(int column, ColumnAlignment alignment)
{
    m_kept.setColumnAlignment(column, alignment);
    m_shown.setColumnAlignment(column, alignment);
}

// Both grids show the same text, so a write that changes nothing here changes nothing there.
void CockpitState::KeptGrid::setText(int row, int column, const QString& text)
{
    if (m_kept.text(row, column) == text)
        return;
    m_kept.setText(row, column, text);
    m_shown.setText(row, column, text);
    m_state.changed(m_part);
}

void CockpitState::KeptGrid::setCellColour(int row, int column, CellColour colour)
{
    const CellColour before = m_kept.colour(row, column);
    m_kept.setCellColour(row, column, colour);
    if (before == colour)
        return;
    m_shown.setCellColour(row, column, colour);
    m_state.changed(m_part);
}

void CockpitState::KeptGrid::setColumnStale(int column, const QString& why)
{
    const auto kept = m_kept.stale.find(column);
    const bool same = (kept == m_kept.stale.end() ? QString() : kept->second) == why;
    m_kept.setColumnStale(column, why);
    m_shown.setColumnStale(column, why);
    if (!same)
        m_state.changed(m_part);
}

CockpitState::KeptLabel::KeptLabel(CockpitState& state, CockpitLabel which)
    : m_state(state), m_shown(state.m_shown.label(which))
{
}

void CockpitState::KeptLabel::setText(const QString& text)
{
    if (m_kept.text == text)
        return;
    m_kept.setText(text);
    m_shown.setText(text);
    m_state.changed(kLabelsPart);
}

void CockpitState::KeptLabel::setStale(const QString& why)
{
    m_kept.setStale(why);
    m_shown.setStale(why);
    m_state.changed(kLabelsPart);
}

CockpitState::CockpitState(CockpitView& shown) : m_shown(shown)
{
    // The grids and labels are handed out by reference: they never move.
    m_grids.reserve(kCockpitGridCount);
    for (int grid = 0; grid < kCockpitGridCount; ++grid)
        m_grids.emplace_back(*this, CockpitGrid(grid));
    m_labels.reserve(kCockpitLabelCount);
    for (int label = 0; label < kCockpitLabelCount; ++label)
        m_labels.emplace_back(*this, CockpitLabel(label));
}

const MemoryGrid& CockpitState::shownGrid(CockpitGrid which) const
{
    return m_grids.at(std::size_t(which)).kept();
}

const MemoryLabel& CockpitState::shownLabel(CockpitLabel which) const
{
    return m_labels.at(std::size_t(which)).kept();
}

OutputGrid& CockpitState::grid(CockpitGrid which)
{
    return m_grids.at(std::size_t(which));
}

OutputLabel& CockpitState::label(CockpitLabel which)
{
    return m_labels.at(std::size_t(which));
}

void CockpitState::setServerAddress(const QString& address)
{
    m_shown.setServerAddress(address);
    changed(kConnectionPart);
}

void CockpitState::setServerPort(const QString& port)
{
    m_shown.setServerPort(port);
    changed(kConnectionPart);
}

void CockpitState::showNoScreenUpdate(bool checked)
{
    m_noScreenUpdate = checked;
    m_shown.showNoScreenUpdate(checked);
    changed(kStatusPart);
}

void CockpitState::showGSuitFormula(int motor, const QString& formula, const QString& problem)
{
    m_shown.showGSuitFormula(motor, formula, problem);
}

void CockpitState::showConfigProblems(const ConfigProblems& problems)
{
    // The file was read again: what it said before no longer holds, nor what came after.
    m_messages.clear();
    changed(kMessagesPart);
    for (const ConfigProblem& problem : problems)
        addMessage(problem.messageLine());
    m_shown.showConfigProblems(problems);
}

void CockpitState::showNotice(const QString& text)
{
    m_lastNotice = text;
    addMessage(text);
    changed(kStatusPart);
    m_shown.showNotice(text);
}

void CockpitState::showSecretNotice(const QString& whole, const QString& withoutSecret)
{
    m_lastNotice = withoutSecret;
    addMessage(withoutSecret);
    changed(kStatusPart);
    m_shown.showNotice(whole);
}

void CockpitState::showActivity(const QString& text)
{
    m_activity = text;
    changed(kStatusPart);
    m_shown.showActivity(text);
}

void CockpitState::showLampBrightness(int value)
{
    m_lampBrightness = value;
    changed(kStatusPart);
    m_shown.showLampBrightness(value);
}

void CockpitState::showAllLampsOn(bool checked)
{
    m_allLampsOn = checked;
    changed(kStatusPart);
    m_shown.showAllLampsOn(checked);
}

void CockpitState::showOutputUnderTest(const std::optional<GridLine>& line)
{
    m_outputUnderTest = line;
    changed(kStatusPart);
    m_shown.showOutputUnderTest(line);
}

void CockpitState::showMessage(const QString& title, const QString& text)
{
    // A message box's lines are broken by CR; in a list they run on.
    addMessage(title + QStringLiteral(": ") + QString(text).replace(u'\r', u' '));
    m_shown.showMessage(title, text);
}

void CockpitState::showConnectType(int index)
{
    m_connectType = index;
    changed(kConnectionPart);
    m_shown.showConnectType(index);
}

void CockpitState::showServerState(const QString& text)
{
    m_serverState = text;
    changed(kConnectionPart);
    m_shown.showServerState(text);
}

void CockpitState::showConnectionStatus(const QString& text)
{
    m_connectionStatus = text;
    changed(kConnectionPart);
    m_shown.showConnectionStatus(text);
}

void CockpitState::showServerProblem(const QString& text)
{
    addMessage(serverProblemLine(text));
    m_shown.showServerProblem(text);
}

void CockpitState::addMessage(const QString& line)
{
    m_messages.append(line);
    if (m_messages.size() > kMaxMessages)
        m_messages.removeFirst();
    changed(kMessagesPart);
}

} // namespace glimrow
