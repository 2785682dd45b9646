#pragma once

// The window's widgets, named as the program names its controls (`chkGlimrow(0)` is
// chkGlimrow[0]). Built once by setupUi; frmGlimrow wires them and holds the logic.

#include <QString>

#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QRadioButton;
class QTabWidget;
class QAction;
class QWidget;

namespace glimrow {

struct frmGlimrowUi {
    QAction* mnuExit = nullptr;
    QTabWidget* tabGlimrow = nullptr;
    std::array<QLineEdit*, 2> fldGlimrow{};      // 0 server address, 1 server port
    std::array<QRadioButton*, 2> optConnectType{}; // 0 "TCP/IP", 1 "DCOM"
    std::array<QCheckBox*, 3> chkGlimrow{};
    std::array<QLabel*, 2> sbStatusBarPanel{};   // the status bar's panels 1 and 2

    void setupUi(QMainWindow* window);

private:
    QGroupBox* addFrame(QWidget* tab, const QString& caption, int left, int top, int width,
                        int height);
};

} // namespace glimrow
