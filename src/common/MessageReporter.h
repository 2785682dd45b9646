#pragma once

// Where the program's message boxes go. The window shows them to the user
// (app/MessageBoxReporter.h); tests record them.
// Texts use a single CR as the line break, as the messages are defined.

#include <QString>

namespace glimrow {

class MessageReporter {
public:
    virtual ~MessageReporter() = default;
    // Shows a message with only an OK button and returns once it is acknowledged.
    virtual void showMessage(const QString& title, const QString& text) = 0;
    // Whether a person reads the messages in a window, with its menus at hand; otherwise they
    // go to a log (--headless, a service), and speak of what can be done there.
    virtual bool showsWindow() const { return true; }

protected:
    MessageReporter() = default;
};

} // namespace glimrow
