#pragma once

// A grid on screen as the output procedures see it: cells addressed exactly as the window's
// grids are described (row 0 the headers, column 0 the first field), widths in twips. The
// window implements it over its table widgets; tests use an in-memory grid. The procedures that
// decide what to show depend on this, never on widgets.

#include <QString>

#include <stdexcept>

namespace glimrow {

enum class CellColour { Normal, Green, Red, Yellow };
enum class ColumnAlignment { General, Left, Centre, Right };

// A cell or column outside the grid.
class GridError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

class OutputGrid {
public:
    virtual ~OutputGrid() = default;

    virtual int rowCount() const = 0;
    virtual void setRowCount(int rows) = 0;
    virtual int columnCount() const = 0;
    virtual void setColumnCount(int columns) = 0;
    virtual void setColumnWidth(int column, int twips) = 0;
    virtual void setColumnAlignment(int column, ColumnAlignment alignment) = 0;

    // Reads and writes throw GridError outside the grid. Writing the text a cell already
    // shows costs nothing.
    virtual QString text(int row, int column) const = 0;
    virtual void setText(int row, int column, const QString& text) = 0;
    virtual void setCellColour(int row, int column, CellColour colour) = 0;
    // The values of `column` (below the header) are what was last seen, not live, and why
    // ("not in the stream", "server inactive"); "" when they are live. Rows added later
    // follow.
    virtual void setColumnStale(int column, const QString& why) = 0;

protected:
    OutputGrid() = default;
    OutputGrid(const OutputGrid&) = default;
    OutputGrid& operator=(const OutputGrid&) = default;
};

} // namespace glimrow
