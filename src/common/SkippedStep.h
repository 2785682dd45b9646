#pragma once

// The one way a procedure skips a step that fails and goes on with the next: the failure is
// logged once in the caller's category (once per distinct step and message, not on every
// cycle), and the caller learns whether the step ran to its end.

#include <QLoggingCategory>

#include <stdexcept>

namespace glimrow {

// Thrown by a step that has nothing to work on, such as one that reads the data server's
// object while the stream, which carries only the lamps, is chosen: nothing failed, so the
// step is skipped without a word.
class NothingToWorkOn : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void logSkippedStep(const QLoggingCategory& category, const char* step, const char* why);

template <typename Step>
bool runSkippingFailure(const QLoggingCategory& category, const char* step, Step&& run) noexcept
{
    try {
        run();
        return true;
    } catch (const NothingToWorkOn&) {
    } catch (const std::exception& error) {
        logSkippedStep(category, step, error.what());
    } catch (...) {
        logSkippedStep(category, step, "unknown failure");
    }
    return false;
}

} // namespace glimrow
