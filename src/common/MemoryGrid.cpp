#include "common/MemoryGrid.h"

#include <iterator>

namespace glimrow {

void MemoryGrid::setRowCount(int rows)
{
    if (rows < 1)
        throw GridError("a grid keeps at least its header row");
    m_rows = rows;
    dropCellsOutside();
}

void MemoryGrid::setColumnCount(int columns)
{
    if (columns < 1)
        throw GridError("a grid keeps at least its first column");
    m_columns = columns;
    dropCellsOutside();
}

void MemoryGrid::setColumnWidth(int column, int twips)
{
    check(0, column);
    widths[column] = twips;
}

void MemoryGrid::setColumnAlignment(int column, ColumnAlignment alignment)
{
    check(0, column);
    alignments[column] = alignment;
}

QString MemoryGrid::text(int row, int column) const
{
    check(row, column);
    const auto found = m_text.find({row, column});
    return found == m_text.end() ? QString() : found->second;
}

void MemoryGrid::setText(int row, int column, const QString& text)
{
    check(row, column);
    QString& cell = m_text[{row, column}];
    if (cell != text)
        ++changedWrites;
    cell = text;
}

void MemoryGrid::setCellColour(int row, int column, CellColour colour)
{
    check(row, column);
    m_colours[{row, column}] = colour;
}

CellColour MemoryGrid::colour(int row, int column) const
{
    const auto found = m_colours.find({row, column});
    return found == m_colours.end() ? CellColour::Normal : found->second;
}

void MemoryGrid::check(int row, int column) const
{
    if (row < 0 || row >= m_rows || column < 0 || column >= m_columns)
        throw GridError("cell outside the grid");
}

// Rows and columns that are removed take their cells with them, as on screen.
void MemoryGrid::dropCellsOutside()
{
    const auto outside = [this](const auto& cell) {
        return cell.first.first >= m_rows || cell.first.second >= m_columns;
    };
    std::erase_if(m_text, outside);
    std::erase_if(m_colours, outside);
}

} // namespace glimrow
