#include "phidget/TextDisplays.h"

#include "common/NumberText.h"
#include "phidget/DisplayText.h"

namespace glimrow {
namespace {

const QString kFiveSpaces = QStringLiteral("     ");
const QString kTwelveSpaces = QStringLiteral("            ");

// "#####0" / "###0" behind five spaces, cut to the field's width: right-aligned, and a number
// longer than the field keeps its last digits.
QString rightAligned(double value, int width)
{
    return (kFiveSpaces + FormatWholeNumber(value)).right(width);
}

QString keywordOf(const SectionTable& table, qsizetype row)
{
    return table.field(2, row).toUpper();
}

std::int16_t rowNumber(const QString& text)
{
    const std::optional<std::int16_t> row = ToInt16(ReadNumber(text));
    if (!row)
        throw PhidgetError("row number out of range: " + text.toStdString());
    return *row;
}

} // namespace

TextDisplays::TextDisplays(OutputWindow& window, FlightDataSource& data,
                           const FlightDataCache& cache)
    : m_window(window), m_data(data), m_cache(cache)
{
}

FlightDataObject& TextDisplays::object()
{
    FlightDataObject* object = m_data.flightDataObject();
    if (!object)
        throw FlightDataError("no flight-data object");
    return *object;
}

QString TextDisplays::countermeasureLine(const QString& prefix, FlightDataField count)
{
    return prefix + DecimalText(object().readNumber(count));
}

void TextDisplays::BuildTextLEDStrings(SectionTable& table)
{
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        const QString keyword = keywordOf(table, row);
        QString text;
        if (keyword == u"FUELFLOW") {
            text = rightAligned(object().readNumber(FlightDataField::FuelFlow), 6);
        } else if (keyword == u"TOTALIZER") {
            text = rightAligned(object().readNumber(FlightDataField::InternalFuel) +
                                    object().readNumber(FlightDataField::ExternalFuel),
                                6);
        } else if (keyword == u"AUXTCHAN") {
            text = rightAligned(object().readNumber(FlightDataField::AUXTChan), 4);
        } else if (keyword == u"UFCTCHAN") {
            text = rightAligned(object().readNumber(FlightDataField::UFCTChan), 4);
        } else if (keyword == u"CMDS1") {
            text =
                (m_cache.LightBits2 & 64) ? QStringLiteral("GO  DSPRDY") : QStringLiteral("NO GO");
        } else if (keyword == u"CMDS2") {
            const bool low = m_cache.LightBits2 & (1024 | 2048);
            text = (low ? QStringLiteral("  LO ") : kFiveSpaces) +
                   DecimalText(object().readNumber(FlightDataField::ChaffCount)) + u' ' +
                   DecimalText(object().readNumber(FlightDataField::Flarecount));
        } else {
            continue; // not a keyword: the line keeps its own text
        }
        table.setField(3, row, text);
    }
}

void TextDisplays::BuildTextLCDStrings(SectionTable& table)
{
    if (table.isEmpty())
        return;
    const QString mode = keywordOf(table, 0);
    if (mode == u"PFD") {
        const QString rendered = BuildDisplay(object().readText(FlightDataField::PFLLines),
                                              object().readText(FlightDataField::PFLInvert));
        for (qsizetype row = 0; row < table.rowCount(); ++row)
            table.setField(3, row, GetDisplayLine(rendered, rowNumber(table.field(0, row))));
    } else if (mode == u"CMDS") {
        const bool jammer = m_cache.LightBits2 & 65536;
        table.setField(3, 0,
                       countermeasureLine(jammer ? QStringLiteral("JMR ON      CHAFF:")
                                                 : kTwelveSpaces + QStringLiteral("CHAFF:"),
                                          FlightDataField::ChaffCount));
        const float speedBrake = ToSingle(object().readNumber(FlightDataField::SpeedBrake));
        QString prefix = kTwelveSpaces + QStringLiteral("FLARE:");
        if (speedBrake > 0) {
            const QString percent = FormatWholeNumber(double(speedBrake) * 100);
            prefix = QStringLiteral("SB ") + percent + u'%' +
                     (speedBrake < 1 ? QStringLiteral("      ") : kFiveSpaces) +
                     QStringLiteral("FLARE:");
        }
        table.setField(3, 1, countermeasureLine(prefix, FlightDataField::Flarecount));
    }
}

void TextDisplays::SendTextLED(int gridIndex, const SectionTable& table,
                               const std::shared_ptr<PhidgetTextLED>& board)
{
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        if (board)
            board->setDisplayString(rowNumber(table.field(0, row)), table.field(3, row));
        if (m_window.screenUpdate())
            m_window.grid(gridIndex).setText(int(row) + 1, 3, table.field(3, row));
    }
    m_window.letEventsRun();
}

void TextDisplays::SendTextLCD(int gridIndex, const SectionTable& table,
                               const std::shared_ptr<PhidgetTextLCD>& board)
{
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        if (board)
            board->setDisplayString(int(row), table.field(3, row));
        if (m_window.screenUpdate())
            m_window.grid(gridIndex).setText(int(row) + 1, 3, table.field(3, row));
    }
    m_window.letEventsRun();
}

void TextDisplays::ShowDED()
{
    if (!m_window.screenUpdate())
        return;
    m_window.setLabelText(kDedLabel, BuildDisplay(object().readText(FlightDataField::DEDLines),
                                                  object().readText(FlightDataField::Invert)));
}

void TextDisplays::ShowPFL()
{
    if (!m_window.screenUpdate())
        return;
    m_window.setLabelText(kPfdLabel, BuildDisplay(object().readText(FlightDataField::PFLLines),
                                                  object().readText(FlightDataField::PFLInvert)));
}

} // namespace glimrow
