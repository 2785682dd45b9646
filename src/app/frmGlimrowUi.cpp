#include "app/frmGlimrowUi.h"

#include "cockpit/CockpitState.h"

#include "app/FlightDataTab.h"
#include "app/TabRowFit.h"
#include "app/Twips.h"
#include "app/WrappingCheckBox.h"

#include <QBoxLayout>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>

namespace glimrow {
namespace {

// Places a widget by its design position and size in twips.
template <typename Widget> Widget* place(Widget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                        twipsToPixels(height));
    return widget;
}

QLabel* addLabel(QWidget* parent, const QString& text, int left, int top, int width, int height,
                 Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* label = place(new QLabel(text, parent), left, top, width, height);
    label->setAlignment(alignment);
    label->setWordWrap(true);
    return label;
}

QLabel* addValueLabel(QWidget* parent, int left, int top, int width, int height)
{
    QLabel* label = addLabel(parent, QString(), left, top, width, height, Qt::AlignCenter);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return label;
}

// 8.25 pt at 96 dpi is 11 pixels; pixel sizes keep text in step with the twips layout.
QFont designFont(const QString& family, QFont::StyleHint hint)
{
    QFont font(family);
    font.setStyleHint(hint);
    font.setPixelSize(11);
    return font;
}

// A style sheet rule that gives `selector` the font's resolved family at 11 pixels.
QString fontRule(const QString& selector, const QFont& font)
{
    return QStringLiteral("%1 { font-family: \"%2\"; font-size: 11px; }")
        .arg(selector, QFontInfo(font).family());
}

// Courier New where present, the system's fixed font otherwise.
QFont screenMirrorFont()
{
    QFont font = designFont(QStringLiteral("Courier New"), QFont::TypeWriter);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPixelSize(11);
    }
    return font;
}

// The EPIC tab's picture: an EPIC card drawn in 128 by 240 pixels.
QPixmap epicCardPicture()
{
    QPixmap picture(128, 240);
    picture.fill(QColor(20, 90, 40));
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(210, 180, 60));
    for (int pin = 0; pin < 20; ++pin)
        painter.drawRect(6, 10 + pin * 11, 8, 6); // edge connector
    painter.setBrush(QColor(30, 30, 30));
    painter.drawRect(40, 40, 56, 56); // controller
    painter.drawRect(40, 120, 24, 40);
    painter.drawRect(72, 120, 24, 40);
    painter.setBrush(QColor(180, 180, 190));
    painter.drawRect(92, 200, 30, 28); // USB socket
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(18);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(30, 172, 70, 24), Qt::AlignCenter, QStringLiteral("EPIC"));
    font.setPixelSize(10);
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(QRect(40, 40, 56, 56), Qt::AlignCenter, QStringLiteral("USB\nI/O"));
    return picture;
}

const char* const kTabCaptions[frmGlimrowUi::kTabs] = {
    "Control", "PhidgetLED-64", "Phidget 0/16/16", "Text Displays", "Gauges", "G-Suit",
    "MFDs",    "HUD",           "EPIC (USB)"};

} // namespace

QGroupBox* frmGlimrowUi::addFrame(int index, QWidget* tab, const QString& caption, int left,
                                  int top, int width, int height)
{
    // Design positions are relative to the tab control; its tab row sits above the page.
    auto* frame =
        place(new QGroupBox(caption, tab), left, qMax(0, top - m_tabPageTop), width, height);
    // The caption sits on the border line, so that the design positions of a frame's contents
    // (240 twips down for a grid) fall inside the border. A style sheet cuts its widgets off
    // the window's font, so it names the font again.
    frame->setStyleSheet(
        QStringLiteral(
            "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
            "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0px 2px; }") +
        fontRule(QStringLiteral("QWidget"), frame->font()));
    fraGlimrow[std::size_t(index)] = frame;
    return frame;
}

QTableWidget* frmGlimrowUi::addGridInFrame(int gridIndex, int frameIndex, int heightMargin)
{
    QGroupBox* frame = fraGlimrow[std::size_t(frameIndex)];
    const int frameWidth = pixelsToTwips(frame->width());
    const int frameHeight = pixelsToTwips(frame->height());
    auto* grid =
        place(new QTableWidget(frame), 120, 240, frameWidth - 240, frameHeight - heightMargin);
    grid->setAccessibleName(frame->title()); // read out as its frame's caption
    grdGlimrow[std::size_t(gridIndex)] = grid;
    return grid;
}

void frmGlimrowUi::layOutDevices(int frameHeightTwips)
{
    QTableWidget* list = grdGlimrow[4];
    const int listHeight = qMax(0, frameHeightTwips - 400 - kLibraryLineTwips);
    list->resize(list->width(), twipsToPixels(listHeight));
    lblPhidgetLibrary->move(lblPhidgetLibrary->x(), list->y() + twipsToPixels(listHeight));
}

void frmGlimrowUi::setupUi(QMainWindow* window)
{
    window->setFont(designFont(QStringLiteral("Arial"), QFont::SansSerif));
    QMenu* file = window->menuBar()->addMenu(QStringLiteral("&File"));
    mnuReload = file->addAction(QStringLiteral("&Reload Configuration"));
    mnuReload->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    file->addSeparator();
    mnuExit = file->addAction(QStringLiteral("E&xit"));

    auto* central = new QWidget(window);
    window->setCentralWidget(central);
    tabGlimrow = place(new QTabWidget(central), 75, 240, 11025, 5610);
    std::array<QWidget*, kTabs> tabs{};
    for (int i = 0; i < kTabs; ++i) {
        tabs[std::size_t(i)] = new QWidget;
        tabGlimrow->addTab(tabs[std::size_t(i)], QString::fromLatin1(kTabCaptions[i]));
    }
    m_tabPageTop = pixelsToTwips(tabGlimrow->tabBar()->sizeHint().height());

    buildControlTab(tabs[0]);
    buildLampTabs(tabs[1], tabs[2]);
    buildTextDisplayTab(tabs[3]);
    buildGaugeAndGSuitTabs(tabs[4], tabs[5]);
    buildMfdTab(tabs[6]);
    buildEpicTab(tabs[8]);
    // Not of the design: what is wrong in Glimrow.cfg, in full, where the user can read it.
    auto* messagesTab = new QWidget;
    auto* messagesLayout = new QVBoxLayout(messagesTab);
    dashboardAddress = new QWidget;
    auto* addressLayout = new QHBoxLayout(dashboardAddress);
    addressLayout->setContentsMargins(0, 0, 0, 0);
    lblDashboardQrCode = new QLabel;
    lblDashboardQrCode->setAccessibleName(QStringLiteral("The dashboard's address as a QR code"));
    lblDashboardAddress = new QLabel;
    lblDashboardAddress->setWordWrap(true);
    lblDashboardAddress->setTextInteractionFlags(Qt::TextSelectableByMouse);
    addressLayout->addWidget(lblDashboardQrCode);
    addressLayout->addWidget(lblDashboardAddress, 1);
    dashboardAddress->hide();
    lstMessages = new QListWidget;
    lstMessages->setWordWrap(true);
    lstMessages->setAccessibleName(QStringLiteral("Messages"));
    messagesLayout->addWidget(dashboardAddress);
    messagesLayout->addWidget(lstMessages, 1);
    tabGlimrow->addTab(messagesTab, QStringLiteral("Messages"));
    // Also not of the design: what the data server sent, bit by bit.
    flightData = new glimrow::FlightDataTab;
    tabGlimrow->addTab(flightData, QStringLiteral("Flight Data"));
    glimrow::fitTabRow(*tabGlimrow);

    QStatusBar* statusBar = window->statusBar();
    statusBar->setFixedHeight(twipsToPixels(300));
    for (QLabel*& panel : sbStatusBarPanel) {
        panel = new QLabel(statusBar);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }
    statusBar->addWidget(sbStatusBarPanel[0], 1);
    lblMessageCount = new QLabel(statusBar);
    statusBar->addPermanentWidget(lblMessageCount);
    statusBar->addPermanentWidget(sbStatusBarPanel[1]);
}

void frmGlimrowUi::buildControlTab(QWidget* tab)
{
    QGroupBox* devices = addFrame(0, tab, gridCaption(CockpitGrid::Devices), 195, 650, 4215, 4140);
    addGridInFrame(4, 0, 400);
    lblPhidgetLibrary = addLabel(devices, QString(), 120, 0, 3975, kLibraryLineTwips);
    layOutDevices(4140);

    QGroupBox* communication =
        addFrame(1, tab, QStringLiteral("Communication"), 4485, 660, 3195, 1890);
    optConnectType[1] =
        place(new QRadioButton(QStringLiteral("DCOM"), communication), 240, 300, 1200, 300);
    optConnectType[0] =
        place(new QRadioButton(QStringLiteral("TCP/IP"), communication), 1560, 300, 1400, 300);
    addLabel(communication, QStringLiteral("Address:"), 240, 660, 1200, 240);
    fldGlimrow[0] = place(new QLineEdit(communication), 240, 900, 2715, 300);
    fldGlimrow[0]->setAccessibleName(QStringLiteral("Address"));
    addLabel(communication, QStringLiteral("Port:"), 240, 1260, 1200, 240);
    fldGlimrow[1] = place(new QLineEdit(communication), 240, 1500, 1200, 300);
    fldGlimrow[1]->setAccessibleName(QStringLiteral("Port"));

    QGroupBox* lighting =
        addFrame(3, tab, QStringLiteral("Lighting Options"), 4485, 2580, 3195, 2235);
    chkGlimrow[0] =
        place(new WrappingCheckBox(QStringLiteral("Update Lights/Gauges - Not Screen"), lighting),
              240, 240, 2835, 480);
    chkGlimrow[1] =
        place(new WrappingCheckBox(QStringLiteral("All Lamps On"), lighting), 240, 720, 2835, 300);
    addLabel(lighting, QStringLiteral("Day"), 240, 1140, 900, 240);
    addLabel(lighting, QStringLiteral("Night"), 2055, 1140, 900, 240,
             Qt::AlignRight | Qt::AlignVCenter);
    sldGlimrow[0] = place(new QSlider(Qt::Horizontal, lighting), 240, 1380, 2715, 540);
    sldGlimrow[0]->setAccessibleName(QStringLiteral("Day Night"));
    sldGlimrow[0]->setRange(50, 100);
    sldGlimrow[0]->setValue(75);
    sldGlimrow[0]->setSingleStep(1);
    sldGlimrow[0]->setPageStep(5);
    sldGlimrow[0]->setTickInterval(1);
    sldGlimrow[0]->setTickPosition(QSlider::TicksBelow);

    QGroupBox* epic = addFrame(15, tab, QStringLiteral("EPIC Controls"), 7785, 660, 2355, 1845);
    btnOpenEpic = place(new QPushButton(QStringLiteral("Open Epic"), epic), 240, 270, 1875, 345);
    btnCloseEpic = place(new QPushButton(QStringLiteral("Close Epic"), epic), 240, 675, 1875, 345);
    chkGlimrow[2] =
        place(new WrappingCheckBox(QStringLiteral("Update Values Without EPIC Present"), epic), 120,
              1080, 2175, 660);

    QGroupBox* program =
        addFrame(14, tab, QStringLiteral("Program Control"), 7785, 2580, 2355, 2235);
    addLabel(program, QStringLiteral("Polling Timer (milliseconds)"), 120, 300, 2115, 480,
             Qt::AlignCenter);
    sldGlimrow[1] = place(new QSlider(Qt::Horizontal, program), 120, 900, 2115, 400);
    sldGlimrow[1]->setAccessibleName(QStringLiteral("Polling Timer (milliseconds)"));
    sldGlimrow[1]->setRange(1, 250);
    sldGlimrow[1]->setValue(100);
    sldGlimrow[1]->setSingleStep(1);
    sldGlimrow[1]->setPageStep(5);
    sldGlimrow[1]->setTickPosition(QSlider::NoTicks);
    lblTimerValue = addLabel(program, QString(), 120, 1380, 2115, 300, Qt::AlignCenter);
    chkGlimrow[3] = place(new WrappingCheckBox(QStringLiteral("Update On Arrival"), program), 120,
                          1740, 2115, 360);
    chkGlimrow[3]->setChecked(true);
    chkGlimrow[3]->setToolTip(QStringLiteral("Send new values to the outputs as soon as they "
                                             "arrive, not only at each tick of the timer"));
}

void frmGlimrowUi::buildLampTabs(QWidget* led64Tab, QWidget* interfaceKitTab)
{
    addFrame(7, led64Tab, gridCaption(CockpitGrid::PLED64_1), 150, 650, 4632, 4575);
    addGridInFrame(0, 7, 300);
    addFrame(8, led64Tab, gridCaption(CockpitGrid::PLED64_2), 4956, 650, 4632, 4575);
    addGridInFrame(1, 8, 300);
    addFrame(2, interfaceKitTab, gridCaption(CockpitGrid::P01616_1), 150, 660, 4632, 4575);
    addGridInFrame(2, 2, 300);
    addFrame(9, interfaceKitTab, gridCaption(CockpitGrid::P01616_2), 4956, 650, 4632, 4575);
    addGridInFrame(5, 9, 300);
}

void frmGlimrowUi::buildTextDisplayTab(QWidget* tab)
{
    addFrame(5, tab, gridCaption(CockpitGrid::PTLED_1), 120, 405, 5340, 1995);
    addGridInFrame(3, 5, 300);
    addFrame(17, tab, gridCaption(CockpitGrid::PTLED_2), 5535, 405, 5340, 1995);
    addGridInFrame(11, 17, 300);
    addFrame(4, tab, gridCaption(CockpitGrid::PTLCD_1), 120, 2430, 5340, 1335);
    addGridInFrame(6, 4, 300);
    addFrame(18, tab, gridCaption(CockpitGrid::PTLCD_2), 5535, 2430, 5340, 1335);
    addGridInFrame(12, 18, 300);

    const QFont mirrorFont = screenMirrorFont();
    QGroupBox* ded = addFrame(10, tab, QStringLiteral("DED"), 120, 3780, 3345, 1545);
    QGroupBox* pfd = addFrame(16, tab, QStringLiteral("PFD"), 3810, 3795, 3345, 1545);
    for (auto [index, frame] : {std::pair{0, ded}, std::pair{2, pfd}}) {
        QLabel* mirror =
            addLabel(frame, QString(), 120, 240, 3105, 1200, Qt::AlignLeft | Qt::AlignTop);
        mirror->setFont(mirrorFont);
        mirror->setStyleSheet(fontRule(QStringLiteral("QLabel"), mirrorFont));
        mirror->setWordWrap(false);
        lblGlimrow[std::size_t(index)] = mirror;
    }
}

void frmGlimrowUi::buildGaugeAndGSuitTabs(QWidget* gaugeTab, QWidget* gSuitTab)
{
    addFrame(11, gaugeTab, gridCaption(CockpitGrid::SKITS), 120, 540, 7020, 4725);
    addGridInFrame(7, 11, 400);

    QGroupBox* gSuit =
        addFrame(6, gSuitTab, QStringLiteral("Phidget Servo / G-Suit Beta"), 360, 650, 4812, 2145);
    addLabel(gSuit, QStringLiteral("G-Force"), 240, 240, 1080, 420, Qt::AlignCenter);
    lblGlimrow[15] = addValueLabel(gSuit, 240, 720, 1080, 360);
    lblGlimrow[15]->setText(QStringLiteral("Gs"));
    addLabel(gSuit, QStringLiteral("Servo"), 1560, 240, 600, 420, Qt::AlignCenter);
    addLabel(gSuit, QStringLiteral("Conversion Formula"), 2280, 240, 1320, 420, Qt::AlignCenter);
    addLabel(gSuit, QStringLiteral("Servo Output"), 3720, 240, 960, 420, Qt::AlignCenter);
    const struct {
        const char* servo;
        int field;
        int output;
        int top;
    } servos[] = {{"1", 2, 24, 720}, {"2", 3, 25, 1200}};
    for (const auto& servo : servos) {
        addLabel(gSuit, QString::fromLatin1(servo.servo), 1560, servo.top, 600, 360,
                 Qt::AlignCenter);
        fldGlimrow[std::size_t(servo.field)] =
            place(new QLineEdit(gSuit), 2280, servo.top, 1320, 360);
        fldGlimrow[std::size_t(servo.field)]->setAccessibleName(
            QStringLiteral("Conversion Formula %1").arg(QLatin1StringView(servo.servo)));
        lblGlimrow[std::size_t(servo.output)] = addValueLabel(gSuit, 3720, servo.top, 960, 360);
    }
}

void frmGlimrowUi::buildMfdTab(QWidget* tab)
{
    addFrame(12, tab, QStringLiteral("Left MFD"), 150, 650, 3945, 4575);
    addGridInFrame(8, 12, 300);
    addFrame(13, tab, QStringLiteral("Right MFD"), 4215, 650, 3945, 4575);
    addGridInFrame(9, 13, 300);
}

void frmGlimrowUi::buildEpicTab(QWidget* tab)
{
    addFrame(19, tab, gridCaption(CockpitGrid::EPICAnalogs), 3150, 630, 6330, 4260);
    // Grid 10 lies over the frame as a member of the tab itself.
    grdGlimrow[10] = place(new QTableWidget(tab), 3375, qMax(0, 900 - m_tabPageTop), 5880, 3900);
    grdGlimrow[10]->setAccessibleName(gridCaption(CockpitGrid::EPICAnalogs));
    addLabel(tab, QStringLiteral("Use Configuration File To Change Pigeonhole Numbers Used"), 555,
             4545 - m_tabPageTop, 2265, 645, Qt::AlignCenter);
    Picture1 = place(new QLabel(tab), 525, 825 - m_tabPageTop, 1980, 3660);
    Picture1->setPixmap(epicCardPicture());
    Picture1->setAlignment(Qt::AlignCenter);
    Picture1->setFrameStyle(QFrame::Box | QFrame::Plain);
}

} // namespace glimrow
