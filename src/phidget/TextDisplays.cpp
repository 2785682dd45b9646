#include "phidget/TextDisplays.h"

#include "common/NumberText.h"
#include "common/SkippedStep.h"
#include "phidget/DisplayText.h"

namespace glimrow {

Q_LOGGING_CATEGORY(lcTexts, "glimrow.texts", QtWarningMsg)

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

QList<int> displayRowsNamed(const SectionTable& table)
{
    QList<int> rows;
    for (qsizetype line = 0; line < table.rowCount(); ++line) {
        const std::optional<std::int16_t> row = ToInt16(ReadNumber(table.field(0, line)));
        if (row && !rows.contains(*row))
            rows << *row;
    }
    return rows;
}

TextDisplays::TextDisplays(FlightDataSource& data, const FlightDataCache& cache,
                           OutputOptions& options, OutputLabel& dedMirror, OutputLabel& pflMirror)
    : m_data(data), m_cache(cache), m_options(options), m_dedMirror(dedMirror),
      m_pflMirror(pflMirror)
{
}

FlightDataObject& TextDisplays::object()
{
    FlightDataObject* object = m_data.flightDataObject();
    if (!object)
        throw NothingToWorkOn("no flight-data object");
    return *object;
}

QString TextDisplays::countermeasureLine(const QString& prefix, FlightDataField count)
{
    return prefix + DecimalText(object().readNumber(count));
}

const QStringList& TextDisplays::textLedKeywords()
{
    static const QStringList keywords{QStringLiteral("FUELFLOW"), QStringLiteral("TOTALIZER"),
                                      QStringLiteral("AUXTCHAN"), QStringLiteral("UFCTCHAN"),
                                      QStringLiteral("CMDS1"),    QStringLiteral("CMDS2")};
    return keywords;
}

const QStringList& TextDisplays::textLcdModes()
{
    static const QStringList modes{QStringLiteral("PFD"), QStringLiteral("CMDS")};
    return modes;
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

void TextDisplays::ShowDED()
{
    if (!m_options.screenUpdate())
        return;
    m_dedMirror.setText(BuildDisplay(object().readText(FlightDataField::DEDLines),
                                     object().readText(FlightDataField::Invert)));
}

void TextDisplays::ShowPFL()
{
    if (!m_options.screenUpdate())
        return;
    m_pflMirror.setText(BuildDisplay(object().readText(FlightDataField::PFLLines),
                                     object().readText(FlightDataField::PFLInvert)));
}

TextBoardOutputs::TextBoardOutputs(OutputGrid& grid, BoardSlot board, OutputOptions& options)
    : m_grid(grid), m_board(board), m_options(options)
{
}

void TextBoardOutputs::SendTextLED(const SectionTable& table)
{
    const auto board = m_board.board<PhidgetTextLED>();
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        if (isUnderTest(row))
            continue;
        // A row the board refuses is skipped on its own; the other lines still reach it.
        if (board) {
            runSkippingFailure(lcTexts(), "a TextLED row", [&] {
                board->setDisplayString(rowNumber(table.field(0, row)), table.field(3, row));
            });
        }
        if (m_options.screenUpdate())
            m_grid.setText(int(row) + 1, 3, table.field(3, row));
    }
    m_options.letEventsRun();
}

void TextBoardOutputs::SendTextLCD(const SectionTable& table)
{
    const auto board = m_board.board<PhidgetTextLCD>();
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        if (isUnderTest(row))
            continue;
        if (board) {
            runSkippingFailure(lcTexts(), "a TextLCD row",
                               [&] { board->setDisplayString(int(row), table.field(3, row)); });
        }
        if (m_options.screenUpdate())
            m_grid.setText(int(row) + 1, 3, table.field(3, row));
    }
    m_options.letEventsRun();
}

void TextBoardOutputs::TestLine(const SectionTable& table, qsizetype row, bool on)
{
    // The grid shows what the board shows while the test runs, the line's text after it.
    const QString shown =
        m_board.kind() == BoardKind::TextLED ? QStringLiteral("8888") : table.field(1, row);
    m_grid.setText(int(row) + 1, 3, on ? shown : table.field(3, row));
    if (const auto textLed = m_board.board<PhidgetTextLED>())
        textLed->setDisplayString(rowNumber(table.field(0, row)),
                                  on ? QStringLiteral("8888") : QString());
    if (const auto textLcd = m_board.board<PhidgetTextLCD>())
        textLcd->setDisplayString(int(row), on ? table.field(1, row) : QString());
}

} // namespace glimrow
