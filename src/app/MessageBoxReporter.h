#pragma once

// The program's messages as modal message boxes with an OK button, and on standard error.

#include "common/MessageReporter.h"

namespace glimrow {

class MessageBoxReporter final : public MessageReporter {
public:
    void showMessage(const QString& title, const QString& text) override;
};

} // namespace glimrow
