#include "app/frmGlimrow.h"

#include "app/FlightDataTab.h"

#include "GlimrowVersion.h"
#include "app/Twips.h"
#include "cockpit/GridSetup.h"
#include "common/QrCode.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDate>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>

namespace glimrow {
namespace {

// Design shapes of grdGlimrow 0 to 12, kept when a set-up cannot size a grid.
constexpr std::array<std::pair<int, int>, 13> kDesignRowsAndColumns{{
    {65, 3},
    {65, 3},
    {16, 3},
    {2, 4},
    {2, 4},
    {16, 3},
    {2, 4},
    {2, 4},
    {2, 2},
    {2, 2},
    {2, 4},
    {2, 4},
    {2, 4},
}};

// The grid of the design that lists each section (and grid 4, the device list).
int gridIndex(CockpitGrid which)
{
    switch (which) {
    case CockpitGrid::PLED64_1:
        return 0;
    case CockpitGrid::PLED64_2:
        return 1;
    case CockpitGrid::P01616_1:
        return 2;
    case CockpitGrid::P01616_2:
        return 5;
    case CockpitGrid::PTLED_1:
        return 3;
    case CockpitGrid::PTLED_2:
        return 11;
    case CockpitGrid::PTLCD_1:
        return 6;
    case CockpitGrid::PTLCD_2:
        return 12;
    case CockpitGrid::SKITS:
        return 7;
    case CockpitGrid::EPICAnalogs:
        return 10;
    case CockpitGrid::Devices:
        return 4;
    }
    return 4;
}

// The grids whose lines drive an output: lamps, interface kits, TextLED, TextLCD and EPIC.
constexpr int kTestableGrids[] = {0, 1, 2, 5, 3, 11, 6, 12, 10};

CockpitGrid sectionOfGrid(int index)
{
    for (CockpitGrid grid :
         {CockpitGrid::PLED64_1, CockpitGrid::PLED64_2, CockpitGrid::P01616_1,
          CockpitGrid::P01616_2, CockpitGrid::PTLED_1, CockpitGrid::PTLED_2, CockpitGrid::PTLCD_1,
          CockpitGrid::PTLCD_2, CockpitGrid::EPICAnalogs}) {
        if (gridIndex(grid) == index)
            return grid;
    }
    return CockpitGrid::Devices;
}

// lblGlimrow 0 (DED), 2 (PFD), 15 (G value), 24 and 25 (servo outputs), in CockpitLabel order.
constexpr std::array<int, 5> kLabelIndices{0, 2, 15, 24, 25};

// The frames a board kind makes usable: interface kits their grid's frame and the lighting
// options; the other kinds their own.
std::vector<int> framesFor(BoardKind kind)
{
    switch (kind) {
    case BoardKind::InterfaceKit:
        return {2, 3};
    case BoardKind::LED:
        return {3};
    case BoardKind::TextLCD:
        return {4};
    case BoardKind::TextLED:
        return {5};
    case BoardKind::Servo:
        return {6};
    }
    return {};
}

// The window's size in the layout's terms includes its title bar and borders: 690 twips of
// height and 30 of width beyond the client area at the design size.
constexpr int kNonClientHeightTwips = 690;
constexpr int kNonClientWidthTwips = 30;

// Small enough for any screen, large enough that no frame or grid height goes below zero.
constexpr QSize kMinimumWindowSize(480, 320);

} // namespace

void WidgetLabel::setText(const QString& text)
{
    QString shown = text;
    shown.replace(u'\r', u'\n'); // rendered screens end their lines with CR
    if (m_label->text() != shown)
        m_label->setText(shown);
}

void WidgetLabel::setStale(const QString& why)
{
    m_label->setEnabled(why.isEmpty()); // greyed: what was last seen
    m_label->setToolTip(why);
}

frmGlimrow::frmGlimrow(MessageReporter& messages, CockpitSettings settings,
                       const QString& phidgetLibraryLine, QWidget* parent)
    : QMainWindow(parent), m_messages(messages),
      m_grids(setupUiAndGrids()), m_labels{WidgetLabel(m_ui.lblGlimrow[kLabelIndices[0]]),
                                           WidgetLabel(m_ui.lblGlimrow[kLabelIndices[1]]),
                                           WidgetLabel(m_ui.lblGlimrow[kLabelIndices[2]]),
                                           WidgetLabel(m_ui.lblGlimrow[kLabelIndices[3]]),
                                           WidgetLabel(m_ui.lblGlimrow[kLabelIndices[4]])},
      m_state(static_cast<CockpitView&>(*this)), m_cockpit(m_state, std::move(settings))
{
    m_ui.lblPhidgetLibrary->setText(phidgetLibraryLine);
    setMinimumSize(kMinimumWindowSize);
    resize(twipsToPixels(11295), twipsToPixels(6420) + menuBar()->sizeHint().height());
    connectControls();
    connect(&m_cockpit, &Cockpit::ended, this, &QWidget::hide);
}

frmGlimrow::~frmGlimrow() = default;

std::array<std::unique_ptr<TableGrid>, 13> frmGlimrow::setupUiAndGrids()
{
    m_ui.setupUi(this);
    std::array<std::unique_ptr<TableGrid>, 13> grids;
    for (std::size_t index = 0; index < grids.size(); ++index) {
        const auto [rows, columns] = kDesignRowsAndColumns[index];
        grids[index] = std::make_unique<TableGrid>(m_ui.grdGlimrow[index], rows, columns);
    }
    grids[4]->setColumnsFitText(true); // board names and versions are read whole
    return grids;
}

void frmGlimrow::connectControls()
{
    connect(m_ui.mnuExit, &QAction::triggered, this, &frmGlimrow::mnuExit_Click);
    connect(m_ui.mnuReload, &QAction::triggered, this, &frmGlimrow::mnuReload_Click);
    // The Flight Data tab is filled only while it is shown; brought up, it is filled at once.
    connect(m_ui.tabGlimrow, &QTabWidget::currentChanged, this,
            [this] { m_cockpit.showFlightData(); });
    for (int index = 0; index < int(m_ui.chkGlimrow.size()); ++index) {
        connect(m_ui.chkGlimrow[std::size_t(index)], &QCheckBox::toggled, this,
                [this, index] { chkGlimrow_Click(index); });
    }
    for (int index = 0; index < int(m_ui.sldGlimrow.size()); ++index) {
        connect(m_ui.sldGlimrow[std::size_t(index)], &QSlider::valueChanged, this,
                [this, index] { sldGlimrow_Change(index); });
    }
    for (int index = 0; index < int(m_ui.optConnectType.size()); ++index) {
        QRadioButton* button = m_ui.optConnectType[std::size_t(index)];
        // Chosen by any means (mouse, keyboard, an assistive technology's toggle action): the
        // choice runs once. A click on the button already chosen runs it again (reconnects).
        connect(button, &QRadioButton::toggled, this, [this, index](bool checked) {
            if (checked && !m_showingConnectType)
                optConnectType_Click(index);
        });
        connect(button, &QRadioButton::pressed, this,
                [this, button] { m_connectTypePressedChosen = button->isChecked(); });
        connect(button, &QRadioButton::clicked, this, [this, index] {
            if (std::exchange(m_connectTypePressedChosen, false))
                optConnectType_Click(index);
        });
    }
    for (int motor : {1, 2}) {
        QLineEdit* formula = m_ui.fldGlimrow[std::size_t(motor + 1)];
        connect(formula, &QLineEdit::textEdited, this, [this, motor](const QString& text) {
            m_cockpit.applyGSuitFormula(motor, text, Cockpit::Entry::Typing);
        });
        connect(formula, &QLineEdit::editingFinished, this,
                [this, motor, formula] { m_cockpit.applyGSuitFormula(motor, formula->text()); });
    }
    connectOutputTests();
    connect(m_ui.btnOpenEpic, &QPushButton::clicked, this, &frmGlimrow::btnOpenEpic_Click);
    connect(m_ui.btnCloseEpic, &QPushButton::clicked, this, &frmGlimrow::btnCloseEpic_Click);
}

void frmGlimrow::connectOutputTests()
{
    for (int index : kTestableGrids) {
        QTableWidget* table = m_ui.grdGlimrow[std::size_t(index)];
        table->installEventFilter(this);
        table->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(table, &QWidget::customContextMenuRequested, this,
                [this, table, index](const QPoint& position) {
                    const int row = table->rowAt(position.y());
                    if (row < 1)
                        return;
                    const auto underTest = m_cockpit.outputUnderTest();
                    const bool testing = underTest && underTest->grid == sectionOfGrid(index) &&
                                         underTest->line == row - 1;
                    QMenu menu(table);
                    menu.addAction(testing ? QStringLiteral("End the Test")
                                           : QStringLiteral("Test This Output"),
                                   this, [this, index, row] { toggleOutputTest(index, row); });
                    menu.exec(table->viewport()->mapToGlobal(position));
                });
        // Choosing another line ends a test.
        connect(table, &QTableWidget::currentCellChanged, this, [this, index](int row) {
            const auto underTest = m_cockpit.outputUnderTest();
            if (underTest && underTest->grid == sectionOfGrid(index) && underTest->line != row - 1)
                m_cockpit.EndOutputTest();
        });
    }
}

void frmGlimrow::toggleOutputTest(int gridIndex, int row)
{
    m_cockpit.ToggleOutputTest(sectionOfGrid(gridIndex), row - 1);
}

bool frmGlimrow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        for (int index : kTestableGrids) {
            QTableWidget* table = m_ui.grdGlimrow[std::size_t(index)];
            if (watched != table)
                continue;
            if (key == Qt::Key_Space && table->currentRow() >= 1) {
                toggleOutputTest(index, table->currentRow());
                return true;
            }
            if (key == Qt::Key_Escape && m_cockpit.outputUnderTest()) {
                m_cockpit.EndOutputTest();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

QString frmGlimrow::caption()
{
    return QStringLiteral("%1 Version %2.%3%4")
        .arg(QString::fromLatin1(version::kFileDescription))
        .arg(version::kMajor)
        .arg(version::kMinor)
        .arg(version::kRevision);
}

QString frmGlimrow::aboutLine()
{
    return QString::fromLatin1(version::kProductName) +
           QStringLiteral(" - cockpit lamps, displays and EPIC for Vantor-A - ") +
           QString::number(QDate::currentDate().year());
}

bool frmGlimrow::Form_Load()
{
    setWindowTitle(caption());
    placeWindow();
    SetupStatusBar();
    // MFDs and HUD are not in use: the user cannot bring them up.
    m_ui.tabGlimrow->setTabEnabled(frmGlimrowUi::kTabMfds, false);
    m_ui.tabGlimrow->setTabEnabled(frmGlimrowUi::kTabHud, false);
    m_cockpit.setLampBrightness(m_ui.sldGlimrow[0]->value());
    m_ui.fldGlimrow[2]->clear(); // the G-suit's conversion formulas, until the file sets them
    m_ui.fldGlimrow[3]->clear();
    if (!m_cockpit.Start())
        return false;
    const PauseForEvents pause = [] { QCoreApplication::processEvents(); };
    SetupMfdGrid(grdGlimrow(8), pause);
    SetupMfdGrid(grdGlimrow(9), pause);
    sldGlimrow_Change(1);
    return true;
}

void frmGlimrow::placeWindow()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Hug the right edge of the screen, 100 twips in, 1000 twips down; never off screen.
    const QRect available = screen->availableGeometry();
    const int left = screen->geometry().width() - frameGeometry().width() - twipsToPixels(100);
    move(qMax(available.left(), left), qMax(available.top(), twipsToPixels(1000)));
}

void frmGlimrow::SetupStatusBar()
{
    QLabel* panel1 = m_ui.sbStatusBarPanel[0];
    QLabel* panel2 = m_ui.sbStatusBarPanel[1];
    panel2->setMinimumWidth(twipsToPixels(1200));
    panel2->setAlignment(Qt::AlignCenter);
    panel2->setText(QStringLiteral("VLM"));
    panel1->setMinimumWidth(twipsToPixels(2200));
    panel1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    panel1->setText(aboutLine());
}

void frmGlimrow::Form_Resize()
{
    if (isMinimized())
        return;
    const int windowHeight = pixelsToTwips(height() - menuBar()->height()) + kNonClientHeightTwips;
    const int windowWidth = pixelsToTwips(width()) + kNonClientWidthTwips;
    const auto setHeight = [](QWidget* widget, int twips) {
        widget->resize(widget->width(), twipsToPixels(qMax(0, twips)));
    };
    const int tabHeight = qMax(0, windowHeight - 1500);
    m_ui.tabGlimrow->resize(twipsToPixels(qMax(0, windowWidth - 300)), twipsToPixels(tabHeight));

    const int frameHeight = tabHeight - 800;
    const auto& frames = m_ui.fraGlimrow;
    const auto& grids = m_ui.grdGlimrow;
    setHeight(frames[7], frameHeight);
    setHeight(frames[8], frameHeight);
    setHeight(grids[0], frameHeight - 300);
    setHeight(grids[1], frameHeight - 300);
    setHeight(frames[2], frameHeight);
    setHeight(frames[9], frameHeight);
    setHeight(grids[2], frameHeight - 300);
    setHeight(grids[5], frameHeight - 300);
    setHeight(frames[11], frameHeight);
    setHeight(grids[7], frameHeight - 400);
    setHeight(frames[0], frameHeight);
    m_ui.layOutDevices(frameHeight);
    setHeight(frames[19], frameHeight);
    setHeight(grids[10], frameHeight - 400);
}

void frmGlimrow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmGlimrow::closeEvent(QCloseEvent* event)
{
    m_cockpit.ShutdownProgram();
    event->accept();
}

void frmGlimrow::chkGlimrow_Click(int index)
{
    const bool checked = m_ui.chkGlimrow.at(std::size_t(index))->isChecked();
    switch (index) {
    case 0:
        m_cockpit.setNoScreenUpdate(checked);
        break;
    case 1:
        m_cockpit.setAllLampsOn(checked);
        break;
    case 2:
        m_cockpit.setUpdateEpicAnyway(checked);
        break;
    case 3:
        m_cockpit.setUpdateOnArrival(checked);
        break;
    default:
        break;
    }
}

void frmGlimrow::sldGlimrow_Change(int index)
{
    const int value = m_ui.sldGlimrow.at(std::size_t(index))->value();
    if (index == 0) {
        m_cockpit.setLampBrightness(value);
        return;
    }
    m_cockpit.setPollingInterval(value);
    m_ui.lblTimerValue->setText(QString::number(value));
}

void frmGlimrow::setPollingInterval(int milliseconds)
{
    m_ui.sldGlimrow[1]->setValue(milliseconds);
}

OutputGrid& frmGlimrow::grid(CockpitGrid which)
{
    return grdGlimrow(gridIndex(which));
}

OutputLabel& frmGlimrow::label(CockpitLabel which)
{
    return m_labels.at(std::size_t(which));
}

void frmGlimrow::showMessage(const QString& title, const QString& text)
{
    m_messages.showMessage(title, text);
}

void frmGlimrow::showConfigProblems(const ConfigProblems& problems)
{
    m_ui.lstMessages->clear();
    for (const ConfigProblem& problem : problems)
        m_ui.lstMessages->addItem(problem.messageLine());
    m_ui.lblMessageCount->setText(
        problems.empty()
            ? QString()
            : QStringLiteral("Glimrow.cfg: %1 to look at (Messages tab)")
                  .arg(problems.size() == 1 ? QStringLiteral("1 line")
                                            : QStringLiteral("%1 lines").arg(problems.size())));
}

void frmGlimrow::showNotice(const QString& text)
{
    constexpr int kShownMs = 10000;
    statusBar()->showMessage(text, kShownMs);
    m_ui.lstMessages->addItem(text);
}

void frmGlimrow::showDashboardAddress(const QString& address)
{
    const QrCode code(address);
    constexpr int kModulePixels = 4;
    const int side = (code.size() + 2 * QrCode::kQuietZone) * kModulePixels;
    QImage image(side, side, QImage::Format_Mono);
    image.fill(Qt::color0);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            if (code.isDark(x / kModulePixels - QrCode::kQuietZone,
                            y / kModulePixels - QrCode::kQuietZone))
                image.setPixel(x, y, 1);
        }
    }
    m_ui.lblDashboardQrCode->setPixmap(QPixmap::fromImage(image));
    m_ui.lblDashboardQrCode->setVisible(code.size() > 0);
    m_ui.lblDashboardAddress->setText(
        QStringLiteral("The dashboard, for a phone or a tablet on this network: point its camera "
                       "at the code, or open\n%1")
            .arg(address));
    m_ui.dashboardAddress->show();
}

bool frmGlimrow::showsFlightData() const
{
    return isVisible() && m_ui.tabGlimrow->currentWidget() == m_ui.flightData;
}

void frmGlimrow::showFlightData(const FlightDataShown& shown)
{
    m_ui.flightData->display(shown);
}

void frmGlimrow::showActivity(const QString& text)
{
    statusBar()->showMessage(text);
}

void frmGlimrow::showLampBrightness(int value)
{
    m_ui.sldGlimrow[0]->setValue(value);
}

void frmGlimrow::showAllLampsOn(bool checked)
{
    m_ui.chkGlimrow[1]->setChecked(checked);
}

void frmGlimrow::setServerAddress(const QString& address)
{
    m_ui.fldGlimrow[0]->setText(address);
}

void frmGlimrow::setServerPort(const QString& port)
{
    m_ui.fldGlimrow[1]->setText(port);
}

void frmGlimrow::showNoScreenUpdate(bool checked)
{
    m_ui.chkGlimrow[0]->setChecked(checked);
}

void frmGlimrow::showUpdateEpicAnyway(bool checked)
{
    m_ui.chkGlimrow[2]->setChecked(checked);
}

void frmGlimrow::showUpdateOnArrival(bool checked)
{
    m_ui.chkGlimrow[3]->setChecked(checked);
}

void frmGlimrow::showGSuitFormula(int motor, const QString& formula, const QString& problem)
{
    QLineEdit* field = m_ui.fldGlimrow.at(std::size_t(motor + 1)); // fldGlimrow(2) and (3)
    if (field->text() != formula)
        field->setText(formula);
    field->setStyleSheet(problem.isEmpty() ? QString() : QStringLiteral("color: red"));
    field->setToolTip(problem);
}

void frmGlimrow::enableBoardControls(BoardKind kind)
{
    for (int frame : framesFor(kind))
        m_ui.fraGlimrow.at(std::size_t(frame))->setEnabled(true);
}

void frmGlimrow::beep()
{
    QApplication::beep();
}

QString frmGlimrow::serverAddress() const
{
    return m_ui.fldGlimrow[0]->text();
}

QString frmGlimrow::serverPort() const
{
    return m_ui.fldGlimrow[1]->text();
}

void frmGlimrow::setServerFieldsEnabled(bool enabled)
{
    m_ui.fldGlimrow[0]->setEnabled(enabled);
    m_ui.fldGlimrow[1]->setEnabled(enabled);
}

void frmGlimrow::setTcpCaptionBold(bool bold)
{
    // The frame's style sheet names the font, and a style sheet wins over setFont on some Qt
    // versions: the weight goes through a style sheet too.
    QRadioButton* tcp = m_ui.optConnectType[0];
    const QString weight = bold ? QStringLiteral("font-weight: bold;") : QString();
    if (tcp->styleSheet() == weight)
        return;
    tcp->setStyleSheet(weight);
    tcp->ensurePolished();
}

void frmGlimrow::showConnectType(int index)
{
    m_showingConnectType = true; // the choice is being made: showing it makes none
    m_ui.optConnectType.at(std::size_t(index))->setChecked(true);
    m_showingConnectType = false;
}

void frmGlimrow::optConnectType_Click(int index)
{
    m_cockpit.ChooseConnectType(index);
}

bool frmGlimrow::isDcomSelected() const
{
    return m_ui.optConnectType[1]->isChecked();
}

void frmGlimrow::showServerState(const QString& text)
{
    m_ui.sbStatusBarPanel[1]->setText(text);
}

void frmGlimrow::showServerProblem(const QString& text)
{
    constexpr int kShownMs = 10000;
    const QString line = serverProblemLine(text);
    m_ui.lstMessages->addItem(line);
    statusBar()->showMessage(line + QStringLiteral(" (Messages tab)"), kShownMs);
}

void frmGlimrow::showConnectionStatus(const QString& text)
{
    // Over the about line while it matters; "Connected" only for a while.
    constexpr int kConnectedShownMs = 5000;
    statusBar()->showMessage(text, text == QLatin1StringView("Connected") ? kConnectedShownMs : 0);
    m_ui.sbStatusBarPanel[1]->setToolTip(text);
}

} // namespace glimrow
