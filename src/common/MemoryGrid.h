#pragma once

// A grid kept in memory: the grids of a cockpit run without a window (--headless), and of
// tests. Remembers every cell's text and colour and counts the writes that changed something.

#include "common/OutputGrid.h"

#include <map>
#include <utility>

namespace glimrow {

class MemoryGrid final : public OutputGrid {
public:
    MemoryGrid(int rows, int columns) : m_rows(rows), m_columns(columns) {}

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
    void check(int row, int column) const;
    void dropCellsOutside();

    int m_rows;
    int m_columns;
    std::map<std::pair<int, int>, QString> m_text;
    std::map<std::pair<int, int>, CellColour> m_colours;
};

} // namespace glimrow
