#pragma once

// The one way a procedure skips a step that fails and goes on with the next: the failure is
// logged once in the caller's category (once per distinct step and message, not on every
// cycle), and the caller learns whether the step ran to its end.

#include <QLoggingCategory>

#include <exception>

namespace glimrow {

void logSkippedStep(const QLoggingCategory& category, const char* step, const char* why);

template <typename Step>
bool runSkippingFailure(const QLoggingCategory& category, const char* step, Step&& run) noexcept
{
    try {
        run();
        return true;
    } catch (const std::exception& error) {
        logSkippedStep(category, step, error.what());
    } catch (...) {
        logSkippedStep(category, step, "unknown failure");
    }
    return false;
}

} // namespace glimrow
