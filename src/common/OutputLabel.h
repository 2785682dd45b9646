#pragma once

// A line of text on screen that an output procedure writes (the DED and PFL mirrors, the
// G-suit panel). The window implements it over its labels; without a window it is kept in
// memory.

#include <QString>

namespace glimrow {

class OutputLabel {
public:
    virtual ~OutputLabel() = default;
    virtual void setText(const QString& text) = 0;
    // The text is what was last seen, not live, and why ("server inactive"); "" when live.
    virtual void setStale(const QString& why) = 0;

protected:
    OutputLabel() = default;
};

// A label with nowhere to be shown but its text.
class MemoryLabel final : public OutputLabel {
public:
    void setText(const QString& shown) override { text = shown; }
    void setStale(const QString& why) override { stale = why; }
    QString text;
    QString stale;
};

} // namespace glimrow
