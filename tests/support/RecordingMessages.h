#pragma once

// Message boxes captured instead of shown: title and text of each, in order.

#include "common/MessageReporter.h"

#include <QList>
#include <QStringList>

namespace glimrow::test {

class RecordingMessages : public MessageReporter {
public:
    QStringList titles;
    QStringList texts;
    void showMessage(const QString& title, const QString& text) override
    {
        titles << title;
        texts << text;
    }
};

} // namespace glimrow::test
