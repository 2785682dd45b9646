#include "phidget/library/LibraryBackend.h"

#include "common/SkippedStep.h"
#include "phidget/PhidgetManager.h"
#include "phidget/library/BoardSends.h"

#include <QLoggingCategory>

namespace glimrow {

Q_LOGGING_CATEGORY(lcBoardSends, "glimrow.phidget.sends", QtWarningMsg)

void PhidgetLibraryBackend::post(std::function<void()> step)
{
    QMetaObject::invokeMethod(this, std::move(step), Qt::QueuedConnection);
}

void PhidgetLibraryBackend::boardAttached(const PhidgetBoardPtr& board)
{
    Known& known = m_boards[board->SerialNumber()];
    if (known.attached)
        return;
    known = Known{board, true};
    if (m_manager)
        m_manager->raiseAttach(board);
}

void PhidgetLibraryBackend::boardDetached(int serial)
{
    const auto found = m_boards.find(serial);
    if (found == m_boards.end() || !found->second.attached)
        return;
    found->second.attached = false;
    if (m_manager)
        m_manager->raiseDetach(found->second.board);
}

void PhidgetLibraryBackend::boardError(int serial, const QString& description, int code)
{
    const auto found = m_boards.find(serial);
    if (found != m_boards.end() && m_manager)
        m_manager->raiseError(found->second.board, description, code);
}

namespace {

QString refusal(const char* call, const QString& description)
{
    return QLatin1StringView(call) + QStringLiteral(": ") + description;
}

} // namespace

void PhidgetLibraryBackend::refuseCall(PhidgetLibraryBackend* backend, int serial, const char* call,
                                       const QString& description)
{
    const QString failure = refusal(call, description);
    if (backend)
        backend->callFailed(serial, failure);
    throw PhidgetError(failure.toStdString());
}

void PhidgetLibraryBackend::callFailed(int serial, const QString& failure)
{
    post([this, serial, failure] {
        // A board already detached is shown so; its refused calls add nothing.
        if (isAttached(serial))
            boardError(serial, failure, 0);
    });
}

std::unique_ptr<BoardSends> PhidgetLibraryBackend::makeSends(int serial, int channels,
                                                             std::function<QString(int)> describe)
{
    // The board closes its sends before this object goes, so neither function outlives it.
    return std::make_unique<BoardSends>(
        channels, [this](std::function<void()> step) { post(std::move(step)); },
        [this, serial, describe = std::move(describe)](const char* call, int code) {
            const QString failure = refusal(call, describe(code));
            const QByteArray step = "a send to board " + QByteArray::number(serial);
            logSkippedStep(lcBoardSends(), step.constData(), failure.toUtf8().constData());
            callFailed(serial, failure);
        });
}

bool PhidgetLibraryBackend::isAttached(int serial) const
{
    const auto found = m_boards.find(serial);
    return found != m_boards.end() && found->second.attached;
}

} // namespace glimrow
