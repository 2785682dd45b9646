#include "app/TableGrid.h"

#include "app/Twips.h"

#include <QHeaderView>
#include <QLocale>
#include <QPalette>
#include <QStyledItemDelegate>
#include <QTableWidget>

namespace glimrow {
namespace {

// Grid rows are 240 twips high, as the original grids' default.
constexpr int kRowHeightTwips = 240;

bool looksNumeric(const QString& text)
{
    bool ok = false;
    QLocale::c().toDouble(text.trimmed(), &ok);
    return ok;
}

Qt::Alignment toQt(ColumnAlignment alignment, const QString& text)
{
    switch (alignment) {
    case ColumnAlignment::Left:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case ColumnAlignment::Centre:
        return Qt::AlignCenter;
    case ColumnAlignment::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case ColumnAlignment::General:
        break;
    }
    // General: numbers to the right, text to the left.
    return (looksNumeric(text) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

// Long texts in the lines end in an ellipsis; the headers, tight in their design widths ("Port"
// in 400 twips), are clipped instead, which keeps more of them readable.
class EllipsisBelowHeaders : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = index.row() == 0 ? Qt::ElideNone : Qt::ElideRight;
    }
};

QColor toQt(CellColour colour)
{
    switch (colour) {
    case CellColour::Green:
        return QColor(0, 200, 0);
    case CellColour::Red:
        return QColor(230, 0, 0);
    case CellColour::Yellow:
        return QColor(255, 230, 0);
    case CellColour::Normal:
        break;
    }
    return {};
}

} // namespace

TableGrid::TableGrid(QTableWidget* table, int designRows, int designColumns) : m_table(table)
{
    m_table->horizontalHeader()->hide();
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(twipsToPixels(kRowHeightTwips));
    m_table->verticalHeader()->setMinimumSectionSize(1);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A click or Tab gives the grid the keyboard and picks a whole line (Space tests it). The
    // pick tints the line rather than hiding its colours (a line under test, a board's state).
    m_table->setFocusPolicy(Qt::StrongFocus);
    m_table->setTabKeyNavigation(false); // Tab goes on to the next control, as elsewhere
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    QPalette palette = m_table->palette();
    QColor tint = palette.color(QPalette::Highlight);
    tint.setAlpha(70);
    palette.setColor(QPalette::Highlight, tint);
    palette.setColor(QPalette::HighlightedText, palette.color(QPalette::Text));
    m_table->setPalette(palette);
    m_table->setWordWrap(false);
    // Text too long for its column ends in an ellipsis; the whole text is the cell's tooltip.
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->setItemDelegate(new EllipsisBelowHeaders(m_table));
    setColumnCount(designColumns);
    setRowCount(designRows);
}

int TableGrid::rowCount() const
{
    return m_table->rowCount();
}

void TableGrid::setRowCount(int rows)
{
    if (rows < 1)
        throw GridError("a grid keeps at least its header row");
    m_table->setRowCount(rows);
    styleFixedCells();
}

int TableGrid::columnCount() const
{
    return m_table->columnCount();
}

void TableGrid::setColumnCount(int columns)
{
    if (columns < 1)
        throw GridError("a grid keeps at least its first column");
    m_table->setColumnCount(columns);
    m_alignments.resize(std::size_t(columns), ColumnAlignment::General);
    m_stale.resize(std::size_t(columns));
    styleFixedCells();
}

void TableGrid::setColumnWidth(int column, int twips)
{
    checkColumn(column);
    m_table->setColumnWidth(column, twipsToPixels(qMax(0, twips)));
    for (int row = 0; m_columnsFitText && row < rowCount(); ++row)
        fitColumnToText(column, text(row, column));
}

void TableGrid::fitColumnToText(int column, const QString& text)
{
    constexpr int kCellPaddingPixels = 8;
    const int wanted = m_table->fontMetrics().horizontalAdvance(text) + kCellPaddingPixels;
    if (wanted > m_table->columnWidth(column))
        m_table->setColumnWidth(column, wanted);
}

void TableGrid::setColumnAlignment(int column, ColumnAlignment alignment)
{
    checkColumn(column);
    m_alignments[std::size_t(column)] = alignment;
    for (int row = 0; row < rowCount(); ++row) {
        if (QTableWidgetItem* item = m_table->item(row, column))
            applyAlignment(item, column);
    }
}

QString TableGrid::text(int row, int column) const
{
    checkCell(row, column);
    const QTableWidgetItem* item = m_table->item(row, column);
    return item ? item->text() : QString();
}

void TableGrid::setText(int row, int column, const QString& text)
{
    checkCell(row, column);
    QTableWidgetItem* item = itemAt(row, column);
    if (item->text() == text)
        return; // most cycles write what is already shown; skip the repaint
    item->setText(text);
    applyStale(item, row, column);
    if (m_columnsFitText)
        fitColumnToText(column, text);
    if (m_alignments[std::size_t(column)] == ColumnAlignment::General)
        applyAlignment(item, column);
    if (row == 0) {
        // The header row is an ordinary row; the hidden header carries its names for screen
        // readers.
        m_table->setHorizontalHeaderItem(column, new QTableWidgetItem(text));
    }
}

void TableGrid::setCellColour(int row, int column, CellColour colour)
{
    checkCell(row, column);
    QTableWidgetItem* item = itemAt(row, column);
    if (colour != CellColour::Normal)
        item->setBackground(toQt(colour));
    else if (row == 0 || column == 0)
        item->setBackground(m_table->palette().button());
    else
        item->setBackground(QBrush());
}

void TableGrid::setColumnStale(int column, const QString& why)
{
    checkColumn(column);
    if (m_stale[std::size_t(column)] == why)
        return;
    m_stale[std::size_t(column)] = why;
    for (int row = 1; row < rowCount(); ++row)
        applyStale(itemAt(row, column), row, column);
}

void TableGrid::applyStale(QTableWidgetItem* item, int row, int column) const
{
    const QString why = row > 0 ? m_stale[std::size_t(column)] : QString();
    item->setForeground(why.isEmpty()
                            ? m_table->palette().text()
                            : m_table->palette().brush(QPalette::Disabled, QPalette::Text));
    item->setToolTip(why.isEmpty() || item->text().isEmpty()
                         ? item->text()
                         : QStringLiteral("%1 (%2)").arg(item->text(), why));
}

void TableGrid::checkCell(int row, int column) const
{
    if (row < 0 || row >= rowCount())
        throw GridError("grid row out of range");
    checkColumn(column);
}

void TableGrid::checkColumn(int column) const
{
    if (column < 0 || column >= columnCount())
        throw GridError("grid column out of range");
}

QTableWidgetItem* TableGrid::itemAt(int row, int column)
{
    QTableWidgetItem* item = m_table->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        applyAlignment(item, column);
        m_table->setItem(row, column, item);
        applyStale(item, row, column);
    }
    return item;
}

void TableGrid::applyAlignment(QTableWidgetItem* item, int column) const
{
    const Qt::Alignment alignment = toQt(m_alignments[std::size_t(column)], item->text());
    if (Qt::Alignment::fromInt(item->textAlignment()) != alignment)
        item->setTextAlignment(alignment);
}

void TableGrid::styleFixedCells()
{
    // A table without rows or columns refuses items (and would not own them).
    if (rowCount() == 0 || columnCount() == 0)
        return;
    const QBrush fixed = m_table->palette().button();
    for (int column = 0; column < columnCount(); ++column)
        itemAt(0, column)->setBackground(fixed);
    for (int row = 1; row < rowCount(); ++row)
        itemAt(row, 0)->setBackground(fixed);
}

} // namespace glimrow
