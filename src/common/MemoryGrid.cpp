#include "common/MemoryGrid.h"

#include <algorithm>

namespace glimrow {

MemoryGrid::MemoryGrid(int rows, int columns)
    : m_rows(rows), m_columns(columns), m_cells(std::size_t(std::max(rows * columns, 0)))
{
}

void MemoryGrid::setRowCount(int rows)
{
    if (rows < 1)
        throw GridError("a grid keeps at least its header row");
    resize(rows, m_columns);
}

void MemoryGrid::setColumnCount(int columns)
{
    if (columns < 1)
        throw GridError("a grid keeps at least its first column");
    resize(m_rows, columns);
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
    return cell(row, column).text;
}

void MemoryGrid::setText(int row, int column, const QString& text)
{
    check(row, column);
    QString& shown = cell(row, column).text;
    if (shown != text)
        ++changedWrites;
    shown = text;
}

void MemoryGrid::setCellColour(int row, int column, CellColour colour)
{
    check(row, column);
    cell(row, column).colour = colour;
}

CellColour MemoryGrid::colour(int row, int column) const
{
    if (row < 0 || row >= m_rows || column < 0 || column >= m_columns)
        return CellColour::Normal;
    return cell(row, column).colour;
}

void MemoryGrid::check(int row, int column) const
{
    if (row < 0 || row >= m_rows || column < 0 || column >= m_columns)
        throw GridError("cell outside the grid");
}

void MemoryGrid::resize(int rows, int columns)
{
    if (columns == m_columns) {
        m_cells.resize(std::size_t(rows * columns));
    } else {
        std::vector<Cell> cells(std::size_t(rows * columns));
        for (int row = 0; row < std::min(rows, m_rows); ++row) {
            for (int column = 0; column < std::min(columns, m_columns); ++column)
                cells[std::size_t(row * columns + column)] = std::move(cell(row, column));
        }
        m_cells = std::move(cells);
    }
    m_rows = rows;
    m_columns = columns;
}

} // namespace glimrow
