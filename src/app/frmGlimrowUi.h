#pragma once

// The window's widgets, named as the program names its controls (`chkGlimrow(0)` is
// chkGlimrow[0]), placed at their design positions in twips. Built once by setupUi;
// frmGlimrow wires them to the cockpit core.

#include <QString>

#include <array>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMainWindow;
class QPushButton;
class QRadioButton;
class QSlider;
class QTableWidget;
class QTabWidget;
class QWidget;

namespace glimrow {
class FlightDataTab;
}

namespace glimrow {

struct frmGlimrowUi {
    static constexpr int kTabs = 9;
    static constexpr int kTabMfds = 6;
    static constexpr int kTabHud = 7;

    QAction* mnuReload = nullptr; // File > Reload Configuration (Ctrl+R)
    QAction* mnuExit = nullptr;
    QTabWidget* tabGlimrow = nullptr;
    std::array<QGroupBox*, 20> fraGlimrow{};
    std::array<QTableWidget*, 13> grdGlimrow{};
    std::array<QLabel*, 26> lblGlimrow{};          // 0 DED, 2 PFD, 15 G value, 24/25 servo outputs
    std::array<QLineEdit*, 4> fldGlimrow{};        // 0 address, 1 port, 2/3 conversion formulas
    std::array<QRadioButton*, 2> optConnectType{}; // 0 "TCP/IP", 1 "DCOM"
    std::array<QCheckBox*, 4> chkGlimrow{};
    std::array<QSlider*, 2> sldGlimrow{}; // 0 brightness, 1 polling interval
    QLabel* lblTimerValue = nullptr;
    QLabel* lblPhidgetLibrary = nullptr; // under the device list: which boards can attach
    QPushButton* btnOpenEpic = nullptr;
    QPushButton* btnCloseEpic = nullptr;
    QLabel* Picture1 = nullptr;
    std::array<QLabel*, 2> sbStatusBarPanel{}; // the status bar's panels 1 and 2
    QListWidget* lstMessages = nullptr;        // the "Messages" tab: Glimrow.cfg's mistakes
    QWidget* dashboardAddress = nullptr;       // above them, once the dashboard is on the LAN:
    QLabel* lblDashboardQrCode = nullptr;      // its address as a QR code,
    QLabel* lblDashboardAddress = nullptr;     // and as text
    QLabel* lblMessageCount = nullptr;         // on the status bar: how many there are
    FlightDataTab* flightData = nullptr;       // the "Flight Data" tab

    void setupUi(QMainWindow* window);
    // The device list and, under it, the Phidget library line, for the Devices frame's height.
    void layOutDevices(int frameHeightTwips);

private:
    void buildControlTab(QWidget* tab);
    void buildLampTabs(QWidget* led64Tab, QWidget* interfaceKitTab);
    void buildTextDisplayTab(QWidget* tab);
    void buildGaugeAndGSuitTabs(QWidget* gaugeTab, QWidget* gSuitTab);
    void buildMfdTab(QWidget* tab);
    void buildEpicTab(QWidget* tab);
    QGroupBox* addFrame(int index, QWidget* tab, const QString& caption, int left, int top,
                        int width, int height);
    QTableWidget* addGridInFrame(int gridIndex, int frameIndex, int heightMargin);

    static constexpr int kLibraryLineTwips = 480; // two lines of text at the most

    int m_tabPageTop = 0; // twips taken by the tab row above every tab page
};

} // namespace glimrow
