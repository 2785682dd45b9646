#pragma once

// The Phidget library's manager: it reports boards as they are plugged in (also those present
// at start), unplugged, or in trouble. Backends raise the events; they arrive on the window's
// thread, one at a time.

#include "phidget/PhidgetBoard.h"

#include <QObject>

namespace glimrow {

class PhidgetManager : public QObject {
    Q_OBJECT

public:
    explicit PhidgetManager(QObject* parent = nullptr);

    // For backends: raise an event. Call on the manager's thread.
    void raiseAttach(const PhidgetBoardPtr& board) { emit OnAttach(board); }
    void raiseDetach(const PhidgetBoardPtr& board) { emit OnDetach(board); }
    void raiseError(const PhidgetBoardPtr& board, const QString& description, int code)
    {
        emit OnError(board, description, code);
    }

signals:
    void OnAttach(const glimrow::PhidgetBoardPtr& board);
    void OnDetach(const glimrow::PhidgetBoardPtr& board);
    void OnError(const glimrow::PhidgetBoardPtr& board, const QString& description, int code);
};

} // namespace glimrow
