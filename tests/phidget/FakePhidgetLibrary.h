#pragma once

// A test's hold on one of the fake Phidget libraries: loads it (the backend under test loads
// the same file, so both reach one library), clears it, and offers its control functions.
// Every event a control function raises has reached the library's handlers when it returns;
// the calls that reached a board are taken once every asynchronous call has been answered.

#include "phidget/library/LibraryFunctions.h"
#include "support/Waiting.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace glimrow::test {

class FakePhidgetLibrary {
public:
    explicit FakePhidgetLibrary(const QString& file) : m_library(file)
    {
        m_library.resolve("FakePhidget_plug", plug);
        m_library.resolve("FakePhidget_unplug", unplug);
        m_library.resolve("FakePhidget_error", error);
        m_library.resolve("FakePhidget_fail", fail);
        m_library.resolve("FakePhidget_takeCalls", m_takeCalls);
        m_library.resolve("FakePhidget_reset", m_reset);
        m_library.resolve("FakePhidget_idle", m_idle);
        m_library.resolve("FakePhidget_setLatency", setLatency);
        if (!m_library.problem().isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(m_library.problem()));
            std::abort(); // no test can run without it
        }
        m_reset();
    }
    ~FakePhidgetLibrary() { m_reset(); }

    void (*plug)(const char* type, int serial, int version) = nullptr;
    void (*unplug)(int serial) = nullptr;
    void (*error)(int serial, int code, const char* text) = nullptr;
    void (*fail)(const char* function) = nullptr;      // every call of it fails; null for none
    void (*setLatency)(double milliseconds) = nullptr; // a board's round trip; 0 at first

    // Runs the event loop until every call the program sent has reached its board, on the
    // library's thread or the program's own, and its answer has reached the program, which may
    // send what was waiting for it.
    void settle()
    {
        if (!waitUntilSettled([this] { return m_idle() && (!m_programIdle || m_programIdle()); }))
            ADD_FAILURE() << "the fake library's calls were not all answered";
    }
    // What says the program has nothing on its way to a board.
    void alsoWaitFor(std::function<bool()> programIdle) { m_programIdle = std::move(programIdle); }

    // The calls that reached a board since the last time, in order.
    QStringList takeCalls()
    {
        settle();
        return QString::fromLatin1(m_takeCalls()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // Those calls board by board (boards attach in any order, and answer at their own pace),
    // less the ones starting with `prefix`, which must be `count` in number.
    QStringList takeCallsByBoard(const QString& prefix = {}, int count = 0)
    {
        QStringList calls = takeCalls();
        EXPECT_EQ(calls.removeIf([&](const QString& call) {
            return !prefix.isEmpty() && call.startsWith(prefix);
        }),
                  count)
            << prefix.toStdString();
        const auto board = [](const QString& call) { return call.section(u' ', 1, 1).left(5); };
        std::stable_sort(calls.begin(), calls.end(),
                         [&](const QString& a, const QString& b) { return board(a) < board(b); });
        return calls;
    }

private:
    library::Functions m_library;
    const char* (*m_takeCalls)() = nullptr;
    void (*m_reset)() = nullptr;
    int (*m_idle)() = nullptr;
    std::function<bool()> m_programIdle;
};

} // namespace glimrow::test
