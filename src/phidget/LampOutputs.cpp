#include "phidget/LampOutputs.h"

#include "common/NumberText.h"
#include "common/SkippedStep.h"
#include "phidget/TextDisplays.h"

#include <QLoggingCategory>

#include <cmath>

namespace glimrow {

Q_LOGGING_CATEGORY(lcLamps, "glimrow.lamps", QtWarningMsg)

namespace {

template <typename Call> void skippingErrors(Call call)
{
    runSkippingFailure(lcLamps(), "lamp test call", call);
}

} // namespace

LampOutputs::LampOutputs(OutputGrid& grid, BoardSlot board, const FlightDataCache& cache,
                         OutputOptions& options)
    : m_grid(grid), m_board(board), m_cache(cache), m_options(options)
{
}

std::optional<LampLine> LampLine::read(const SectionTable& table, qsizetype row)
{
    const std::optional<std::int16_t> output = ToInt16(ReadNumber(table.field(0, row)));
    const std::optional<std::int32_t> mask =
        ToInt32(double(ToSingle(ReadNumber(table.field(2, row)))));
    // The word selector must be a number, not merely start with one.
    const std::optional<std::int16_t> word =
        ToInt16(ReadWholeNumber(table.field(3, row)).value_or(std::nan("")));
    if (!output || !mask || !word)
        return std::nullopt;
    return LampLine{*output, *mask, *word == 1 || *word == 2 ? int(*word) : 3};
}

std::optional<LampOutputs::Lamp> LampOutputs::readLamp(const SectionTable& table,
                                                       qsizetype row) const
{
    const std::optional<LampLine> line = LampLine::read(table, row);
    if (!line)
        return std::nullopt;
    const std::int32_t bits = line->word == 1   ? m_cache.LightBits
                              : line->word == 2 ? m_cache.LightBits2
                                                : m_cache.LightBits3;
    return Lamp{line->output, (line->mask & bits) != 0};
}

void LampOutputs::SendLamps(const SectionTable& table)
{
    const auto led = m_board.board<PhidgetLED>();
    const auto kit = m_board.board<PhidgetInterfaceKit>();
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        if (isUnderTest(row))
            continue;
        const std::optional<Lamp> lamp = readLamp(table, row);
        if (!lamp) {
            qCDebug(lcLamps) << "line" << row << "unreadable, skipped";
            continue;
        }
        // A lamp the board refuses (an output it does not have, a failing call) is skipped on
        // its own: the lines after it still reach the board.
        runSkippingFailure(lcLamps(), "a lamp's board call", [&] {
            if (led)
                led->setDiscreteLED(lamp->output, lamp->lit ? m_options.lampBrightness() : 0);
            if (kit)
                kit->setOutputState(lamp->output, lamp->lit);
        });
        if (m_options.screenUpdate())
            m_grid.setText(int(row) + 1, 2, lamp->lit ? QStringLiteral("*") : QString());
    }
    m_options.letEventsRun();
}

void LampOutputs::TestLine(const SectionTable& table, qsizetype row, bool on)
{
    // The grid shows what the board shows; the next cycle shows the data again.
    m_grid.setText(int(row) + 1, 2, on ? QStringLiteral("*") : QString());
    const std::optional<std::int16_t> output = ToInt16(ReadNumber(table.field(0, row)));
    if (!output)
        throw PhidgetError("the line has no output number");
    if (const auto led = m_board.board<PhidgetLED>())
        led->setDiscreteLED(*output, on ? m_options.lampBrightness() : 0);
    if (const auto kit = m_board.board<PhidgetInterfaceKit>())
        kit->setOutputState(*output, on);
}

void TestAllOutputs(const PhidgetDeviceManager& devices, const OutputOptions& options, bool on,
                    bool alsoDimmers, const SectionTable* textLedTable1,
                    const SectionTable* textLedTable2)
{
    for (int slot : {1, 2}) {
        if (const auto kit = devices.pRavaz01616(slot)) {
            int outputs = 0;
            skippingErrors([&] { outputs = kit->NumOutputs(); });
            for (int output = 0; output < outputs; ++output)
                skippingErrors([&] { kit->setOutputState(output, on); });
        }
    }
    for (int slot : {1, 2}) {
        if (const auto led = devices.pRavazLED(slot)) {
            int leds = 0;
            skippingErrors([&] { leds = led->LEDCount(); });
            for (int index = 0; index < leds; ++index)
                skippingErrors(
                    [&] { led->setDiscreteLED(index, on ? options.lampBrightness() : 0); });
        }
    }
    for (int slot : {1, 2}) {
        if (const auto lcd = devices.pRavazTextLCD(slot)) {
            for (int row : {0, 1}) {
                const QString text =
                    on ? QStringLiteral("TextLCD-%1 %2").arg(slot).arg(row + 1) : QString();
                skippingErrors([&] { lcd->setDisplayString(row, text); });
            }
            if (alsoDimmers)
                skippingErrors([&] { lcd->setBacklight(on); });
        }
    }
    const SectionTable* textLedTables[] = {textLedTable1, textLedTable2};
    for (int slot : {1, 2}) {
        const auto textLed = devices.pRavazTextLED(slot);
        const SectionTable* table = textLedTables[slot - 1];
        if (!textLed)
            continue;
        for (int row : table ? displayRowsNamed(*table) : QList<int>()) {
            skippingErrors(
                [&] { textLed->setDisplayString(row, on ? QStringLiteral("1234") : QString()); });
        }
        if (alsoDimmers)
            skippingErrors([&] { textLed->setBrightness(on ? options.lampBrightness() : 0); });
    }
}

} // namespace glimrow
