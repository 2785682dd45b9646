#pragma once

// An in-memory grid for tests of code that writes grids: remembers every cell's text and
// colour and counts the writes that changed something.

#include "common/OutputGrid.h"

#include <map>
#include <utility>
#include <vector>

namespace glimrow::test {

class MemoryGrid : public OutputGrid {
public:
    MemoryGrid(int rows, int columns) : m_rows(rows), m_columns(columns) {}

    int rowCount() const override { return m_rows; }
    void setRowCount(int rows) override
    {
        if (rows < 1)
            throw GridError("rows");
        m_rows = rows;
    }
    int columnCount() const override { return m_columns; }
    void setColumnCount(int columns) override
    {
        if (columns < 1)
            throw GridError("columns");
        m_columns = columns;
    }
    void setColumnWidth(int column, int twips) override
    {
        check(0, column);
        widths[column] = twips;
    }
    void setColumnAlignment(int column, ColumnAlignment alignment) override
    {
        check(0, column);
        alignments[column] = alignment;
    }
    QString text(int row, int column) const override
    {
        check(row, column);
        const auto found = m_text.find({row, column});
        return found == m_text.end() ? QString() : found->second;
    }
    void setText(int row, int column, const QString& text) override
    {
        check(row, column);
        if (this->text(row, column) != text)
            ++changedWrites;
        m_text[{row, column}] = text;
    }
    void setCellColour(int row, int column, CellColour colour) override
    {
        check(row, column);
        colours[{row, column}] = colour;
    }

    std::map<int, int> widths;
    std::map<int, ColumnAlignment> alignments;
    std::map<std::pair<int, int>, CellColour> colours;
    int changedWrites = 0;

private:
    void check(int row, int column) const
    {
        if (row < 0 || row >= m_rows || column < 0 || column >= m_columns)
            throw GridError("cell");
    }

    int m_rows;
    int m_columns;
    std::map<std::pair<int, int>, QString> m_text;
};

} // namespace glimrow::test
