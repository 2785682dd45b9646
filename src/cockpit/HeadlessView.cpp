#include "cockpit/HeadlessView.h"

#include "common/PrintableText.h"
#include "common/QrCode.h"

#include <cstdio>

namespace glimrow {
namespace {

// A line of the log on standard error; what it quotes may come from the file or the server.
void say(const QString& text)
{
    std::fprintf(stderr, "glimrow: %s\n", qPrintable(printableText(text)));
}

QString activityLine(const QString& activity)
{
    return activity.isEmpty() ? QStringLiteral("The outputs follow the data again") : activity;
}

constexpr int kActivityLineMs = 1000;

} // namespace

// The grids' design shapes; the configuration resizes the section grids.
HeadlessView::HeadlessView()
    : m_grids{MemoryGrid(65, 3), MemoryGrid(65, 3), MemoryGrid(16, 3), MemoryGrid(16, 3),
              MemoryGrid(2, 4),  MemoryGrid(2, 4),  MemoryGrid(2, 4),  MemoryGrid(2, 4),
              MemoryGrid(2, 4),  MemoryGrid(2, 4),  MemoryGrid(2, 4)}
{
    m_activityHeld.setSingleShot(true);
    m_activityHeld.setInterval(kActivityLineMs);
    QObject::connect(&m_activityHeld, &QTimer::timeout, [this] {
        if (m_activityChanges == 0)
            return;
        say(activityLine(m_activity) +
            QStringLiteral(" (%1 changes in the last second)").arg(m_activityChanges));
        m_activityChanges = 0;
        m_activityHeld.start();
    });
}

void HeadlessView::showMessage(const QString& title, const QString& text)
{
    QString shown = text;
    shown.replace(u'\r', u'\n');
    messages << title + QStringLiteral(": ") + shown;
    say(title + QStringLiteral(": ") + shown);
}

void HeadlessView::showGSuitFormula(int motor, const QString& formula, const QString& problem)
{
    if (!problem.isEmpty()) {
        say(QStringLiteral("G-suit formula %1 \"%2\": %3").arg(motor).arg(formula, problem));
    }
}

void HeadlessView::showServerState(const QString& text)
{
    // Said when it changes, not on every watchdog tick.
    if (text != m_serverState)
        say(text);
    m_serverState = text;
}

void HeadlessView::showServerProblem(const QString& text)
{
    say(QStringLiteral("data server: ") + text);
}

void HeadlessView::showNotice(const QString& text)
{
    say(text);
}

void HeadlessView::showDashboardAddress(const QString& address)
{
    const QStringList lines = QrCode(address).terminalLines();
    if (lines.isEmpty())
        return;
    say(QStringLiteral("Dashboard: the same address as a QR code, for a phone's camera (light on "
                       "dark, as a terminal shows it):"));
    for (const QString& line : lines)
        say(line);
}

void HeadlessView::showActivity(const QString& text)
{
    if (text == m_activity)
        return;
    m_activity = text;
    if (m_activityHeld.isActive()) {
        ++m_activityChanges;
        return;
    }
    say(activityLine(text));
    m_activityHeld.start();
}

void HeadlessView::showConnectionStatus(const QString& text)
{
    if (text != m_connectionStatus && !text.isEmpty())
        say(text);
    m_connectionStatus = text;
}

} // namespace glimrow
