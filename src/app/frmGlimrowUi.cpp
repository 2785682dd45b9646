#include "app/frmGlimrowUi.h"

#include "app/Twips.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>

namespace glimrow {
namespace {

// Places a widget by its design position and size in twips.
template <typename Widget>
Widget* place(Widget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                        twipsToPixels(height));
    return widget;
}

const char* const kTabCaptions[] = {"Control", "PhidgetLED-64", "Phidget 0/16/16",
                                    "Text Displays", "Gauges", "G-Suit",
                                    "MFDs", "HUD", "EPIC (USB)"};

} // namespace

QGroupBox* frmGlimrowUi::addFrame(QWidget* tab, const QString& caption, int left, int top,
                                  int width, int height)
{
    // Frame positions are given relative to the tab control, whose tab row takes about
    // 360 twips at the top.
    return place(new QGroupBox(caption, tab), left, top - 360, width, height);
}

void frmGlimrowUi::setupUi(QMainWindow* window)
{
    QMenu* file = window->menuBar()->addMenu(QStringLiteral("&File"));
    mnuExit = file->addAction(QStringLiteral("E&xit"));

    auto* central = new QWidget(window);
    window->setCentralWidget(central);
    tabGlimrow = place(new QTabWidget(central), 75, 240, 11025, 5610);
    QWidget* tabs[9] = {};
    for (int i = 0; i < 9; ++i) {
        tabs[i] = new QWidget;
        tabGlimrow->addTab(tabs[i], QString::fromLatin1(kTabCaptions[i]));
    }

    QGroupBox* communication =
        addFrame(tabs[0], QStringLiteral("Communication"), 4485, 660, 3195, 1890);
    optConnectType[1] = place(new QRadioButton(QStringLiteral("DCOM"), communication),
                              240, 300, 1200, 300);
    optConnectType[0] = place(new QRadioButton(QStringLiteral("TCP/IP"), communication),
                              1560, 300, 1400, 300);
    place(new QLabel(QStringLiteral("Address:"), communication), 240, 660, 1200, 240);
    fldGlimrow[0] = place(new QLineEdit(communication), 240, 900, 2700, 300);
    place(new QLabel(QStringLiteral("Port:"), communication), 240, 1260, 1200, 240);
    fldGlimrow[1] = place(new QLineEdit(communication), 240, 1500, 1200, 300);

    QGroupBox* lighting =
        addFrame(tabs[0], QStringLiteral("Lighting Options"), 4485, 2580, 3195, 2235);
    chkGlimrow[0] = place(
        new QCheckBox(QStringLiteral("Update Lights/Gauges - Not Screen"), lighting), 240, 300,
        2850, 300);
    chkGlimrow[1] = place(new QCheckBox(QStringLiteral("All Lamps On"), lighting), 240, 660,
                          2850, 300);

    QGroupBox* epic = addFrame(tabs[0], QStringLiteral("EPIC Controls"), 7785, 660, 2355, 1845);
    chkGlimrow[2] = place(
        new QCheckBox(QStringLiteral("Update Values Without EPIC Present"), epic), 120, 1320,
        2200, 300);

    QStatusBar* statusBar = window->statusBar();
    for (QLabel*& panel : sbStatusBarPanel)
        panel = new QLabel(statusBar);
    statusBar->addWidget(sbStatusBarPanel[0], 1);
    statusBar->addPermanentWidget(sbStatusBarPanel[1]);
}

} // namespace glimrow
