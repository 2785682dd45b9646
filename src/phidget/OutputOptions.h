#pragma once

// What every output procedure reads from the program's options while it runs: whether the
// screen is refreshed, the brightness for lit lamps, and a pause for pending events.

namespace glimrow {

class OutputOptions {
public:
    virtual ~OutputOptions() = default;

    virtual bool screenUpdate() const = 0;  // mbScreenUpdate
    virtual int lampBrightness() const = 0; // the Day/Night slider, read when driven
    virtual void letEventsRun() = 0;

protected:
    OutputOptions() = default;
};

} // namespace glimrow
