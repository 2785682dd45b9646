#include "cockpit/GridSetup.h"

#include "common/SkippedStep.h"

#include <array>
#include <initializer_list>
#include <limits>

namespace glimrow {
namespace {

struct Column {
    int index;
    int twips;
    const char* header;
};

void setColumns(OutputGrid& grid, std::initializer_list<Column> columns)
{
    for (const Column& column : columns) {
        grid.setColumnWidth(column.index, column.twips);
        grid.setText(0, column.index, QString::fromLatin1(column.header));
    }
}

// Row r + 1 shows line r; the first `fields` fields go into columns 0 onwards.
void showLines(OutputGrid& grid, const SectionTable& table, int firstField, int fields)
{
    for (qsizetype line = 0; line < table.rowCount(); ++line) {
        for (int field = firstField; field < firstField + fields; ++field)
            grid.setText(int(line) + 1, field, table.field(field, line));
    }
}

Q_LOGGING_CATEGORY(lcGrids, "glimrow.grids", QtWarningMsg)

// A set-up step that fails (a grid too small for it) is skipped; the next one runs.
template <typename Step> void skippingGridErrors(Step step)
{
    runSkippingFailure(lcGrids(), "grid set-up", step);
}

int rowsFor(const SectionTable& table)
{
    return int(qMin<qsizetype>(table.rowCount() + 1, std::numeric_limits<int>::max()));
}

} // namespace

void SetupLampGrid(OutputGrid& grid, const SectionTable* table, const PauseForEvents& pause)
{
    if (table)
        skippingGridErrors([&] { grid.setRowCount(rowsFor(*table)); });
    skippingGridErrors([&] {
        setColumns(grid, {{0, 400, "Port"}, {1, 3200, "Description"}, {2, 300, ""}});
        grid.setColumnAlignment(2, ColumnAlignment::Centre);
    });
    if (table)
        skippingGridErrors([&] { showLines(grid, *table, 0, 2); });
    pause();
}

void SetupTextLedGrid(OutputGrid& grid, const SectionTable& table)
{
    setColumns(grid, {{2, 1400, "Variable"}, {1, 1800, "Description"}, {3, 1200, "Value"}});
    grid.setColumnAlignment(3, ColumnAlignment::Right);
    showLines(grid, table, 2, 1);
}

void SetupTextLcdGrid(OutputGrid& grid, const SectionTable& table)
{
    setColumns(grid, {{0, 300, "Ln"}, {1, 1800, "Label"}, {2, 900, "Var"}, {3, 2000, "Value"}});
    grid.setColumnAlignment(3, ColumnAlignment::Right);
    showLines(grid, table, 2, 1);
}

void SetupGaugeGrid(OutputGrid& grid, const SectionTable& table)
{
    setColumns(
        grid,
        {{0, 500, "Port"}, {1, 3000, "Description"}, {2, 1500, "Variable"}, {3, 1500, "Value"}});
    showLines(grid, table, 2, 1);
}

void SetupEpicGrid(OutputGrid& grid, const SectionTable& table, const PauseForEvents& pause)
{
    grid.setRowCount(rowsFor(table));
    setColumns(grid,
               {{0, 400, "PH#"}, {1, 2000, "Description"}, {2, 1400, "Var."}, {3, 1600, "Value"}});
    grid.setColumnAlignment(0, ColumnAlignment::Centre);
    for (qsizetype line = 0; line < table.rowCount(); ++line) {
        for (int field = 0; field < 3; ++field)
            grid.setText(int(line) + 1, field, table.field(field, line));
        pause();
    }
}

void InitDeviceGrid(OutputGrid& grid)
{
    grid.setRowCount(1);
    grid.setColumnCount(5);
    // Narrower than the design's four columns, so that the fifth fits the frame too.
    setColumns(grid, {{0, 250, "#"},
                      {1, 1450, "Phidget"},
                      {2, 550, "Version"},
                      {3, 700, "Serial#"},
                      {4, 850, "Section"}});
}

void SetupMfdGrid(OutputGrid& grid, const PauseForEvents& pause)
{
    constexpr int kButtons = 20;
    skippingGridErrors([&] { grid.setRowCount(kButtons + 1); });
    skippingGridErrors([&] { grid.setColumnCount(2); });
    skippingGridErrors([&] { setColumns(grid, {{0, 600, "Button"}, {1, 2600, "Label"}}); });
    skippingGridErrors([&] {
        for (int button = 1; button <= kButtons; ++button)
            grid.setText(button, 0, QString::number(button));
    });
    pause();
}

} // namespace glimrow
