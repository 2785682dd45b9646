#pragma once

// What the output procedures need from the window: its grids and labels, the option flag and
// the brightness slider, and a pause for window events.

#include "common/OutputGrid.h"

#include <QString>

namespace glimrow {

class OutputWindow {
public:
    virtual ~OutputWindow() = default;

    virtual OutputGrid& grid(int index) = 0;        // grdGlimrow(index)
    virtual QString labelText(int index) const = 0; // lblGlimrow(index)
    virtual void setLabelText(int index, const QString& text) = 0;
    virtual bool screenUpdate() const = 0;  // mbScreenUpdate
    virtual int lampBrightness() const = 0; // sldGlimrow(0), read when driven
    virtual void letEventsRun() = 0;

protected:
    OutputWindow() = default;
};

} // namespace glimrow
