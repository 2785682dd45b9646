#pragma once

// What the backends over the vendor's C libraries share: boards whose three properties were
// copied when they attached, the hop from a library thread to the window's thread, and the
// bookkeeping that turns the libraries' events into the manager's three events.

#include "phidget/PhidgetBoard.h"
#include "phidget/PhidgetManager.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>

namespace glimrow {

class BoardSends;

// The three properties of a board, copied on the library's thread when it attached.
struct BoardInfo {
    QString type;
    int serial = 0;
    float version = 0;
};

class LibraryBoard : public virtual PhidgetBoard {
public:
    explicit LibraryBoard(BoardInfo info) : m_info(std::move(info)) {}

    QString DeviceType() const override { return m_info.type; }
    int SerialNumber() const override { return m_info.serial; }
    float DeviceVersion() const override { return m_info.version; }

private:
    BoardInfo m_info;
};

class PhidgetLibraryBackend : public QObject {
    Q_OBJECT

public:
    // Starts reporting boards to `manager`. Call on the window's thread; every event reaches
    // the manager on this object's thread.
    virtual void open(PhidgetManager& manager) = 0;
    // The Devices frame's line, "Phidget library: libphidget22 1.19".
    virtual QString description() const = 0;
    // Every value the outputs sent has reached its board and been answered.
    virtual bool sendsIdle() const = 0;

protected:
    explicit PhidgetLibraryBackend(QObject* parent = nullptr) : QObject(parent) {}

    void setManager(PhidgetManager& manager) { m_manager = &manager; }
    // Runs `step` later on this object's thread: the one member a library thread may call.
    void post(std::function<void()> step);

    // The manager's events, each raised once per change: a board that is already attached is
    // not attached again, and only an attached board can be detached.
    void boardAttached(const PhidgetBoardPtr& board);
    void boardDetached(int serial);
    void boardError(int serial, const QString& description, int code);
    bool isAttached(int serial) const;
    // A call the library refused on board `serial`: thrown as a PhidgetError, and (while
    // `backend` is there) its row marked as for the board's own error, so that what the board
    // was told is sent again.
    [[noreturn]] static void refuseCall(PhidgetLibraryBackend* backend, int serial,
                                        const char* call, const QString& description);
    // The sends of board `serial`, whose refused answers are logged once and then handled as
    // refused calls; `describe` gives the library's text for a result code.
    std::unique_ptr<BoardSends> makeSends(int serial, int channels,
                                          std::function<QString(int code)> describe);

private:
    // Later, on this object's thread: the row of an attached board marked.
    void callFailed(int serial, const QString& failure);

    struct Known {
        PhidgetBoardPtr board; // the object of its latest attach
        bool attached = false;
    };
    QPointer<PhidgetManager> m_manager;
    std::map<int, Known> m_boards;
};

// Copies a library's text, which may be null, before the library reuses its memory.
inline QString libraryText(const char* text)
{
    return text ? QString::fromLatin1(text) : QString();
}

} // namespace glimrow
