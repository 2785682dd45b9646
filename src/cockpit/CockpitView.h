#pragma once

// What the cockpit core shows and reads through its front end: the window (one grid per
// output section, the screen mirrors, the G-suit panel, the Communication frame and the
// status bar), or nothing on screen at all (--headless). The core never knows which.

#include "cockpit/ConfigProblem.h"
#include "cockpit/FlightDataPanel.h"
#include "common/MessageReporter.h"
#include "common/OutputGrid.h"
#include "common/OutputLabel.h"
#include "data/ConnectionManager.h"
#include "phidget/PhidgetDeviceManager.h"

#include <optional>

namespace glimrow {

// The grids by the section they list (the device list: every board seen).
enum class CockpitGrid {
    PLED64_1,
    PLED64_2,
    P01616_1,
    P01616_2,
    PTLED_1,
    PTLED_2,
    PTLCD_1,
    PTLCD_2,
    SKITS,
    EPICAnalogs,
    Devices,
};

enum class CockpitLabel { DED, PFL, GForce, ServoOutput1, ServoOutput2 };

// A line of a grid: 0 the first below the headers.
struct GridLine {
    CockpitGrid grid;
    int line;
    bool operator==(const GridLine&) const = default;
};

class CockpitView : public ConnectionView, public MessageReporter {
public:
    virtual OutputGrid& grid(CockpitGrid which) = 0;
    virtual OutputLabel& label(CockpitLabel which) = 0;

    // What Glimrow.cfg's global keys set, shown where the user would set them.
    virtual void setServerAddress(const QString& address) = 0;
    virtual void setServerPort(const QString& port) = 0;
    virtual void showNoScreenUpdate(bool checked) = 0;
    virtual void showUpdateEpicAnyway(bool checked) = 0;
    virtual void showUpdateOnArrival(bool checked) = 0;
    // A G-suit formula and, when it cannot be read, why.
    virtual void showGSuitFormula(int motor, const QString& formula, const QString& problem) = 0;

    // What is wrong in Glimrow.cfg (as read last), shown where the user can read it all.
    virtual void showConfigProblems(const ConfigProblems& problems) = 0;
    // Something that just happened (a reload), said for a while.
    virtual void showNotice(const QString& text) = 0;
    // What the outputs are doing instead of following the data ("Testing: ...", "All Lamps
    // On"), said until it ends; "" when they follow the data.
    virtual void showActivity(const QString& text) = 0;

    // The dashboard's address with its token, for a phone's camera: shown as a QR code where
    // the address is shown.
    virtual void showDashboardAddress(const QString& address) { (void)address; }

    // The lighting options as they now stand, whoever changed them.
    virtual void showLampBrightness(int value) { (void)value; }
    virtual void showAllLampsOn(bool checked) { (void)checked; }
    // The output under test, if any (its line is marked in its grid too).
    virtual void showOutputUnderTest(const std::optional<GridLine>& line) { (void)line; }

    // The Flight Data tab: whether anybody looks at it now, and what it shows. A view without
    // one never asks for it.
    virtual bool showsFlightData() const { return false; }
    virtual void showFlightData(const FlightDataShown& shown) { (void)shown; }

    // A board of this kind has attached: the controls serving it become usable.
    virtual void enableBoardControls(BoardKind kind) = 0;
    virtual void beep() = 0;

protected:
    CockpitView() = default;
};

} // namespace glimrow
