#include "app/FlightDataTab.h"

#include "cockpit/FlightDataPanel.h"

#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace glimrow {
namespace {

QTableWidget* readOnlyTable(const QStringList& headers, const QString& name)
{
    auto* table = new QTableWidget(0, int(headers.size()));
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setAccessibleName(name);
    return table;
}

// Sets a cell's text, making the cell when the row is new; unchanged cells are not touched,
// so an unchanged tab costs little on every tick.
void setCell(QTableWidget& table, int row, int column, const QString& text)
{
    QTableWidgetItem* item = table.item(row, column);
    if (!item)
        table.setItem(row, column, new QTableWidgetItem(text));
    else if (item->text() != text)
        item->setText(text);
}

// A bit that is on stands out as a lit lamp does: its row bold, amber behind dark text.
void markBit(QTableWidget& table, int row, bool on)
{
    QTableWidgetItem* state = table.item(row, 0);
    if (state->font().bold() == on)
        return;
    for (int column = 0; column < table.columnCount(); ++column) {
        QTableWidgetItem* item = table.item(row, column);
        QFont font = item->font();
        font.setBold(on);
        item->setFont(font);
        item->setBackground(on ? QBrush(QColor(255, 176, 32)) : QBrush());
        item->setForeground(on ? QBrush(Qt::black) : QBrush());
    }
}

} // namespace

FlightDataTab::FlightDataTab(QWidget* parent) : QWidget(parent)
{
    m_rate = new QLabel;
    m_values =
        readOnlyTable({QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Value")},
                      QStringLiteral("Values last read"));
    m_bits = readOnlyTable({QStringLiteral("Word"), QStringLiteral("Bit"), QStringLiteral("Mask"),
                            QStringLiteral("State"), QStringLiteral("Lamp lines")},
                           QStringLiteral("Light bits"));
    m_lastFrame = new QPlainTextEdit;
    m_lastFrame->setReadOnly(true);
    m_lastFrame->setMaximumBlockCount(1);
    m_lastFrame->setAccessibleName(QStringLiteral("Last frame"));
    m_lastFrame->setPlaceholderText(QStringLiteral("The last frame of the TCP/IP stream"));

    auto* tables = new QSplitter(Qt::Horizontal);
    tables->addWidget(m_values);
    tables->addWidget(m_bits);
    tables->setStretchFactor(1, 2);
    for (QTableWidget* table : {m_values, m_bits}) {
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        table->horizontalHeader()->setStretchLastSection(true);
    }
    m_lastFrame->hide(); // until a frame of the stream is there to show
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_rate);
    layout->addWidget(tables, 1);
    layout->addWidget(m_lastFrame);
    m_lastFrame->setFixedHeight(m_lastFrame->fontMetrics().height() * 3);
}

void FlightDataTab::display(const FlightDataShown& shown)
{
    m_rate->setText(QStringLiteral("%1 arrivals a second").arg(shown.arrivalsPerSecond, 0, 'f', 1));
    m_values->setRowCount(int(shown.values.size()));
    for (int row = 0; row < shown.values.size(); ++row) {
        const FlightDataValue& value = shown.values[row];
        setCell(*m_values, row, 0, value.name);
        setCell(*m_values, row, 1, value.type);
        setCell(*m_values, row, 2, value.value);
    }
    m_bits->setRowCount(int(shown.bits.size()));
    for (int row = 0; row < shown.bits.size(); ++row) {
        const LightBit& bit = shown.bits[row];
        setCell(*m_bits, row, 0, bit.word);
        setCell(*m_bits, row, 1, QString::number(bit.bit));
        setCell(*m_bits, row, 2, QString::number(bit.mask));
        setCell(*m_bits, row, 3, bit.on ? QStringLiteral("on") : QStringLiteral("off"));
        setCell(*m_bits, row, 4, bit.lamps.join(QStringLiteral("; ")));
        markBit(*m_bits, row, bit.on);
    }
    if (m_lastFrame->toPlainText() != shown.lastFrame)
        m_lastFrame->setPlainText(shown.lastFrame);
    m_lastFrame->setVisible(!shown.lastFrame.isEmpty());
}

} // namespace glimrow
