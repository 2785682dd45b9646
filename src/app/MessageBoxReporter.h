#pragma once

// The program's messages as modal message boxes with an OK button.

#include "common/MessageReporter.h"

namespace glimrow {

class MessageBoxReporter final : public MessageReporter {
public:
    void showMessage(const QString& title, const QString& text) override;
};

} // namespace glimrow
