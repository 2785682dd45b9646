#include "phidget/virtual/VirtualHardwareWindow.h"

#include "phidget/virtual/VirtualHardware.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace glimrow {
namespace {

// Draws one board's state; repaints when the hardware reports a change, at most four times a
// second: drawing nine boards ten times a second cost more than the program's own work.
class BoardFace : public QWidget {
public:
    BoardFace(const VirtualHardware& hardware, int serial, QWidget* parent)
        : QWidget(parent), m_hardware(hardware), m_serial(serial)
    {
        setMinimumSize(sizeFor(device()));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const VirtualDevice& board = device();
        painter.fillRect(rect(), board.attached ? QColor(28, 32, 36) : QColor(70, 70, 70));
        if (!board.leds.empty())
            drawLeds(painter, board);
        else if (!board.outputs.empty())
            drawOutputs(painter, board);
        else if (!board.rows.isEmpty())
            drawRows(painter, board);
        else if (!board.motors.empty())
            drawMotors(painter, board);
    }

private:
    const VirtualDevice& device() const { return *m_hardware.device(m_serial); }

    static QSize sizeFor(const VirtualDevice& board)
    {
        if (!board.leds.empty())
            return {8 * 22 + 8, 8 * 22 + 8};
        if (!board.outputs.empty())
            return {8 * 22 + 8, 2 * 30 + 8};
        if (!board.rows.isEmpty())
            return {board.rows.size() == 2 ? 20 * 11 + 16 : 8 * 16 + 16,
                    int(board.rows.size()) * 24 + 12};
        return {4 * 56 + 8, 64};
    }

    void drawLeds(QPainter& painter, const VirtualDevice& board) const
    {
        for (std::size_t led = 0; led < board.leds.size(); ++led) {
            const int level = board.leds[led];
            const QRectF dot(6 + double(led % 8) * 22, 6 + double(led / 8) * 22, 16, 16);
            painter.setPen(QColor(90, 90, 90));
            painter.setBrush(level > 0 ? QColor(255, 60 + level, 0, 80 + level * 175 / 100)
                                       : QColor(50, 20, 10));
            painter.drawEllipse(dot);
        }
    }

    void drawOutputs(QPainter& painter, const VirtualDevice& board) const
    {
        painter.setFont(smallFont());
        for (std::size_t output = 0; output < board.outputs.size(); ++output) {
            const QRectF box(6 + double(output % 8) * 22, 6 + double(output / 8) * 30, 18, 18);
            painter.setPen(QColor(120, 120, 120));
            painter.setBrush(board.outputs[output] ? QColor(40, 220, 60) : QColor(20, 50, 25));
            painter.drawRect(box);
            painter.setPen(Qt::lightGray);
            painter.drawText(QRectF(box.left(), box.bottom(), 18, 10), Qt::AlignCenter,
                             QString::number(output));
        }
    }

    void drawRows(QPainter& painter, const VirtualDevice& board) const
    {
        const bool lcd = board.rows.size() == 2;
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPixelSize(lcd ? 17 : 20);
        font.setBold(!lcd);
        painter.setFont(font);
        if (lcd)
            painter.fillRect(rect().adjusted(4, 4, -4, -4),
                             board.backlight ? QColor(120, 190, 90) : QColor(40, 60, 35));
        painter.setPen(lcd ? QColor(20, 30, 20)
                           : QColor(255, 40, 30, 80 + board.brightness * 175 / 100));
        for (int row = 0; row < board.rows.size(); ++row) {
            painter.drawText(QRectF(8, 6 + row * 24, width() - 16, 24),
                             Qt::AlignLeft | Qt::AlignVCenter, board.rows[row]);
        }
    }

    void drawMotors(QPainter& painter, const VirtualDevice& board) const
    {
        painter.setFont(smallFont());
        for (std::size_t motor = 0; motor < board.motors.size(); ++motor) {
            const QRectF cell(4 + double(motor) * 56, 4, 52, 56);
            const QPointF centre(cell.center().x(), cell.top() + 30);
            const double angle =
                qDegreesToRadians(180.0 - qBound(0.0, board.motors[motor] * 20, 180.0));
            painter.setPen(QPen(QColor(220, 220, 220), 2));
            painter.drawLine(centre, centre + QPointF(22 * std::cos(angle), -22 * std::sin(angle)));
            painter.drawText(
                QRectF(cell.left(), cell.top() + 34, cell.width(), 18), Qt::AlignCenter,
                QStringLiteral("%1: %2").arg(motor).arg(board.motors[motor], 0, 'f', 2));
        }
    }

    static QFont smallFont()
    {
        QFont font;
        font.setPixelSize(9);
        return font;
    }

    const VirtualHardware& m_hardware;
    int m_serial;
};

// The virtual EPIC card: whether it is plugged in, and every pigeonhole written so far. The
// card is written from Pigrelay without telling anyone, so this panel looks four times a
// second.
QGroupBox* epicPanel(VirtualHardware& hardware, QWidget* parent)
{
    auto* frame = new QGroupBox(parent);
    auto* layout = new QVBoxLayout(frame);
    auto* table = new QTableWidget(0, 3, frame);
    table->setHorizontalHeaderLabels(
        {QStringLiteral("Pigeonhole"), QStringLiteral("Bytes"), QStringLiteral("Writes")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setDefaultSectionSize(18);
    // Every column whole at the panel's own size: widths from the texts they hold, and room
    // for the scroll bar that a long list brings.
    const QFontMetrics header(table->horizontalHeader()->font());
    const QFontMetrics body(table->font());
    const int widths[] = {header.horizontalAdvance(QStringLiteral("Pigeonhole")),
                          body.horizontalAdvance(QStringLiteral("FF FF FF FF")),
                          header.horizontalAdvance(QStringLiteral("Writes 00000"))};
    int total = 0;
    for (int column = 0; column < 3; ++column) {
        table->setColumnWidth(column, widths[column] + 16);
        total += widths[column] + 16;
    }
    table->setMinimumSize(
        total + table->verticalScrollBar()->sizeHint().width() + 2 * table->frameWidth(), 120);
    auto* plug = new QPushButton(frame);
    layout->addWidget(table, 1);
    layout->addWidget(plug);
    const auto refresh = [&hardware, frame, table, plug] {
        const bool present = hardware.epicPresent();
        frame->setTitle(
            QStringLiteral("EPIC USB card (%1)")
                .arg(present ? QStringLiteral("plugged in") : QStringLiteral("unplugged")));
        plug->setText(present ? QStringLiteral("Unplug") : QStringLiteral("Plug in"));
        const auto pigeonholes = hardware.epicPigeonholes();
        table->setRowCount(int(pigeonholes.size()));
        for (int row = 0; row < int(pigeonholes.size()); ++row) {
            const auto& entry = pigeonholes[std::size_t(row)];
            const QString bytes = QStringLiteral("%1 %2 %3 %4")
                                      .arg(entry.bytes[0], 2, 16, QLatin1Char('0'))
                                      .arg(entry.bytes[1], 2, 16, QLatin1Char('0'))
                                      .arg(entry.bytes[2], 2, 16, QLatin1Char('0'))
                                      .arg(entry.bytes[3], 2, 16, QLatin1Char('0'))
                                      .toUpper();
            const QString cells[] = {QString::number(entry.number), bytes,
                                     QString::number(entry.writes)};
            for (int column = 0; column < 3; ++column) {
                QTableWidgetItem* item = table->item(row, column);
                if (!item)
                    table->setItem(row, column, item = new QTableWidgetItem);
                if (item->text() != cells[column])
                    item->setText(cells[column]);
            }
        }
    };
    refresh();
    QObject::connect(plug, &QPushButton::clicked, frame,
                     [&hardware] { hardware.setEpicPresent(!hardware.epicPresent()); });
    auto* poll = new QTimer(frame);
    QObject::connect(poll, &QTimer::timeout, frame, refresh);
    poll->start(250);
    return frame;
}

QString caption(const VirtualDevice& board)
{
    QString state = board.attached ? QStringLiteral("plugged in") : QStringLiteral("unplugged");
    if (board.failing)
        state += QStringLiteral(", failing");
    return QStringLiteral("%1 %2 (%3)").arg(board.type).arg(board.serial).arg(state);
}

} // namespace

VirtualHardwareWindow::VirtualHardwareWindow(VirtualHardware& hardware, QWidget* parent)
    : QWidget(parent), m_hardware(hardware)
{
    setWindowTitle(QStringLiteral("Virtual Hardware"));
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    m_boards = new QWidget(scroll);
    scroll->setWidget(m_boards);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    auto* grid = new QGridLayout(m_boards);
    int index = 0;
    for (const VirtualDevice* board : hardware.devices()) {
        auto* frame = new QGroupBox(caption(*board), m_boards);
        auto* layout = new QVBoxLayout(frame);
        auto* face = new BoardFace(hardware, board->serial, frame);
        auto* plug = new QPushButton(frame);
        layout->addWidget(face, 1);
        layout->addWidget(plug);
        const int serial = board->serial;
        const auto refresh = [this, frame, plug, face, serial] {
            const VirtualDevice* device = m_hardware.device(serial);
            frame->setTitle(caption(*device));
            plug->setText(device->attached ? QStringLiteral("Unplug") : QStringLiteral("Plug in"));
            face->update();
        };
        refresh();
        connect(plug, &QPushButton::clicked, this, [this, serial] {
            const VirtualDevice* device = m_hardware.device(serial);
            if (device->attached)
                m_hardware.detach(serial);
            else
                m_hardware.attach(serial);
        });
        auto* throttle = new QTimer(frame);
        throttle->setSingleShot(true);
        throttle->setInterval(250);
        connect(throttle, &QTimer::timeout, frame, refresh);
        connect(&hardware, &VirtualHardware::changed, throttle, [throttle] {
            if (!throttle->isActive())
                throttle->start();
        });
        grid->addWidget(frame, index / 3, index % 3);
        ++index;
    }
    grid->addWidget(epicPanel(hardware, m_boards), 0, 3, 3, 1);
}

QSize VirtualHardwareWindow::sizeHint() const
{
    const QSize wanted = m_boards->sizeHint() + QSize(4, 4);
    const QScreen* shownOn = screen();
    return shownOn ? wanted.boundedTo(shownOn->availableGeometry().size()) : wanted;
}

} // namespace glimrow
