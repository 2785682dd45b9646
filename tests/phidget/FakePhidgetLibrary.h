#pragma once

// A test's hold on one of the fake Phidget libraries: loads it (the backend under test loads
// the same file, so both reach one library), clears it, and offers its control functions.
// Every event a control function raises has reached the library's handlers when it returns.

#include <gtest/gtest.h>

#include <QLibrary>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace glimrow::test {

class FakePhidgetLibrary {
public:
    explicit FakePhidgetLibrary(const QString& file) : m_library(file)
    {
        m_library.setLoadHints(QLibrary::PreventUnloadHint);
        resolve("FakePhidget_plug", plug);
        resolve("FakePhidget_unplug", unplug);
        resolve("FakePhidget_error", error);
        resolve("FakePhidget_fail", fail);
        resolve("FakePhidget_takeCalls", m_takeCalls);
        resolve("FakePhidget_reset", m_reset);
        m_reset();
    }
    ~FakePhidgetLibrary() { m_reset(); }

    void (*plug)(const char* type, int serial, int version) = nullptr;
    void (*unplug)(int serial) = nullptr;
    void (*error)(int serial, int code, const char* text) = nullptr;
    void (*fail)(const char* function) = nullptr; // every call of it fails; null for none

    // The calls that reached a board since the last time, in order.
    QStringList takeCalls()
    {
        return QString::fromLatin1(m_takeCalls()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // Those calls board by board (boards attach in any order), less the ones starting with
    // `prefix`, which must be `count` in number.
    QStringList takeCallsByBoard(const QString& prefix, int count)
    {
        QStringList calls = takeCalls();
        EXPECT_EQ(calls.removeIf([&](const QString& call) { return call.startsWith(prefix); }),
                  count)
            << prefix.toStdString();
        const auto board = [](const QString& call) { return call.section(u' ', 1, 1).left(5); };
        std::stable_sort(calls.begin(), calls.end(),
                         [&](const QString& a, const QString& b) { return board(a) < board(b); });
        return calls;
    }

private:
    template <typename Function> void resolve(const char* name, Function*& function)
    {
        function = reinterpret_cast<Function*>(m_library.resolve(name));
        if (!function) {
            std::fprintf(stderr, "%s: %s\n", name, qPrintable(m_library.errorString()));
            std::abort(); // no test can run without it
        }
    }

    QLibrary m_library;
    const char* (*m_takeCalls)() = nullptr;
    void (*m_reset)() = nullptr;
};

} // namespace glimrow::test
