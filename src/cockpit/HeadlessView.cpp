#include "cockpit/HeadlessView.h"

#include <cstdio>

namespace glimrow {

// The grids' design shapes; the configuration resizes the section grids.
HeadlessView::HeadlessView()
    : m_grids{MemoryGrid(65, 3), MemoryGrid(65, 3), MemoryGrid(16, 3), MemoryGrid(16, 3),
              MemoryGrid(2, 4),  MemoryGrid(2, 4),  MemoryGrid(2, 4),  MemoryGrid(2, 4),
              MemoryGrid(2, 4),  MemoryGrid(2, 4),  MemoryGrid(2, 4)}
{
}

void HeadlessView::showMessage(const QString& title, const QString& text)
{
    QString shown = text;
    shown.replace(u'\r', u'\n');
    messages << title + QStringLiteral(": ") + shown;
    std::fprintf(stderr, "glimrow: %s: %s\n", qPrintable(title), qPrintable(shown));
}

void HeadlessView::showGSuitFormula(int motor, const QString& formula, const QString& problem)
{
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "glimrow: G-suit formula %d \"%s\": %s\n", motor, qPrintable(formula),
                     qPrintable(problem));
    }
}

void HeadlessView::showServerState(const QString& text)
{
    // Said when it changes, not on every watchdog tick.
    if (text != m_serverState)
        std::fprintf(stderr, "glimrow: %s\n", qPrintable(text));
    m_serverState = text;
}

void HeadlessView::showServerProblem(const QString& text)
{
    std::fprintf(stderr, "glimrow: data server: %s\n", qPrintable(text));
}

void HeadlessView::showConnectionStatus(const QString& text)
{
    if (text != m_connectionStatus && !text.isEmpty())
        std::fprintf(stderr, "glimrow: %s\n", qPrintable(text));
    m_connectionStatus = text;
}

} // namespace glimrow
