#include "data/UpdateCycle.h"

#include "common/NumberText.h"
#include "common/SkippedStep.h"

#include <QLoggingCategory>

namespace glimrow {

Q_LOGGING_CATEGORY(lcCycle, "glimrow.cycle", QtWarningMsg)

namespace {

void runStep(const char* name, const std::function<void()>& step)
{
    runSkippingFailure(lcCycle(), name, step);
}

std::int32_t lightBitsFrom(FlightDataObject& object, FlightDataField field)
{
    const std::optional<std::int32_t> value = ToInt32(object.readNumber(field));
    if (!value) {
        throw FlightDataError(std::string(fieldInfo(field).name) +
                              " does not fit a 32-bit light-bit word");
    }
    return *value;
}

FlightDataObject& requireObject(FlightDataSource& source)
{
    FlightDataObject* object = source.flightDataObject();
    if (!object)
        throw NothingToWorkOn("no flight-data object");
    return *object;
}

} // namespace

UpdateCycle::UpdateCycle(FlightDataSource& source, FlightDataCache& cache,
                         std::function<void()> letEventsRun)
    : m_source(source), m_cache(cache), m_letEventsRun(std::move(letEventsRun))
{
}

void UpdateCycle::run()
{
    if (m_running || !mayRun())
        return;
    FlightDataObject* object = m_source.isDcomSelected() ? m_source.flightDataObject() : nullptr;
    if (!object) {
        runCycle(); // the stream's cache, or no object: its steps fail and are skipped
        return;
    }
    object->requestFill(
        [this](FillOutcome outcome, const QString& why) { afterFill(outcome, why); });
}

bool UpdateCycle::runOnNewerData()
{
    FlightDataObject* object = m_source.isDcomSelected() ? m_source.flightDataObject() : nullptr;
    if (!object || m_running || !mayRun()) {
        run();
        return false;
    }
    return !object->requestFill(
        [this](FillOutcome outcome, const QString& why) { afterFill(outcome, why); });
}

void UpdateCycle::afterFill(FillOutcome outcome, const QString& why)
{
    if (outcome != FillOutcome::Filled) {
        // Without this cycle's data every step would fail: the server is not active.
        m_source.serverFailed(why);
        return;
    }
    if (FlightDataObject* object = m_source.flightDataObject()) {
        for (const QString& problem : object->takeNewProblems())
            m_source.reportServerProblem(problem);
    }
    if (mayRun())
        runCycle();
}

void UpdateCycle::runCycle()
{
    if (m_running)
        return;
    m_running = true;
    ++m_cyclesRun;
    if (m_source.isDcomSelected())
        runDcomBlock();
    runStep("pause for window events", m_letEventsRun);
    for (const Step& step : m_outputSteps)
        runStep(step.name, step.run);
    m_running = false;
    if (m_cycleEnded)
        m_cycleEnded();
}

void UpdateCycle::runDcomBlock()
{
    // The copy runs straight after the refresh with no window events between them, so the
    // object taken here cannot be released under it.
    copyCache();
    for (const Step& step : m_dcomSteps)
        runStep(step.name, step.run);
}

void UpdateCycle::copyCache()
{
    // Each field is a step of its own: one the object cannot give keeps its last value, and
    // the others are still copied.
    const struct {
        const char* step;
        FlightDataField field;
        std::int32_t FlightDataCache::*word;
    } lightWords[] = {
        {"copy LightBits to the window cache", FlightDataField::LightBits,
         &FlightDataCache::LightBits},
        {"copy LightBits2 to the window cache", FlightDataField::LightBits2,
         &FlightDataCache::LightBits2},
        {"copy LightBits3 to the window cache", FlightDataField::LightBits3,
         &FlightDataCache::LightBits3},
    };
    for (const auto& word : lightWords) {
        runStep(word.step, [this, &word] {
            m_cache.*word.word = lightBitsFrom(requireObject(m_source), word.field);
        });
    }
    runStep("copy SpeedBrake to the window cache", [this] {
        m_cache.SpeedBrake =
            ToSingle(requireObject(m_source).readNumber(FlightDataField::SpeedBrake));
    });
}

} // namespace glimrow
