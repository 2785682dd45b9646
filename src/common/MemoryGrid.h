#pragma once

// A grid kept in memory: the grids of a cockpit run without a window (--headless), and of
// tests. Remembers every cell's text and colour and counts the writes that changed something.

#include "common/OutputGrid.h"

#include <map>
#include <vector>

namespace glimrow {

class MemoryGrid final : public OutputGrid {
public:
    MemoryGrid(int rows, int columns);

    int rowCount() const override { return m_rows; }
    void setRowCount(int rows) override;
    int columnCount() const override { return m_columns; }
    void setColumnCount(int columns) override;
    void setColumnWidth(int column, int twips) override;
    void setColumnAlignment(int column, ColumnAlignment alignment) override;
    QString text(int row, int column) const override;
    void setText(int row, int column, const QString& text) override;
    void setCellColour(int row, int column, CellColour colour) override;
    void setColumnStale(int column, const QString& why) override { stale[column] = why; }

    CellColour colour(int row, int column) const;

    std::map<int, int> widths;
    std::map<int, ColumnAlignment> alignments;
    int changedWrites = 0;
    std::map<int, QString> stale;

private:
    struct Cell {
        QString text;
        CellColour colour = CellColour::Normal;
    };
    void check(int row, int column) const;
    Cell& cell(int row, int column) { return m_cells[std::size_t(row * m_columns + column)]; }
    const Cell& cell(int row, int column) const
    {
        return m_cells[std::size_t(row * m_columns + column)];
    }
    // Rows and columns that are removed take their cells with them, as on screen.
    void resize(int rows, int columns);

    int m_rows;
    int m_columns;
    std::vector<Cell> m_cells; // row by row
};

} // namespace glimrow
