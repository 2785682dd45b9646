#pragma once

// One of the window's grids: a QTableWidget whose row 0 and column 0 are ordinary cells drawn
// as fixed (grey, not selectable), so that code addresses cells exactly as the grids are
// described. Qt's own headers are hidden.

#include "common/OutputGrid.h"

#include <vector>

class QTableWidget;
class QTableWidgetItem;

namespace glimrow {

class TableGrid final : public OutputGrid {
public:
    // Takes a table widget owned by the window and gives it its design shape.
    TableGrid(QTableWidget* table, int designRows, int designColumns);

    QTableWidget* widget() const { return m_table; }
    // Columns grow to show their texts whole (the grid scrolls sideways), never shrinking
    // below their design widths.
    void setColumnsFitText(bool fit) { m_columnsFitText = fit; }

    int rowCount() const override;
    void setRowCount(int rows) override;
    int columnCount() const override;
    void setColumnCount(int columns) override;
    void setColumnWidth(int column, int twips) override;
    void setColumnAlignment(int column, ColumnAlignment alignment) override;

    QString text(int row, int column) const override;
    void setText(int row, int column, const QString& text) override;
    void setCellColour(int row, int column, CellColour colour) override;
    void setColumnStale(int column, const QString& why) override;

private:
    // Greyed with why as part of its tooltip while its column is stale.
    void applyStale(QTableWidgetItem* item, int row, int column) const;
    void fitColumnToText(int column, const QString& text);
    void checkCell(int row, int column) const;
    void checkColumn(int column) const;
    QTableWidgetItem* itemAt(int row, int column);
    void applyAlignment(QTableWidgetItem* item, int column) const;
    void styleFixedCells();

    QTableWidget* m_table;
    std::vector<ColumnAlignment> m_alignments;
    std::vector<QString> m_stale; // per column: why its values are not live, or ""
    bool m_columnsFitText = false;
};

} // namespace glimrow
