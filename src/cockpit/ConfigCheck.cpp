#include "cockpit/ConfigCheck.h"

#include "cockpit/ConfigFileParser.h"
#include "cockpit/StartupError.h"
#include "common/NumberText.h"
#include "epic/EpicDispatch.h"
#include "phidget/GaugeOutputs.h"
#include "phidget/TextDisplays.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <functional>

namespace glimrow {
namespace {

int editDistance(const QString& a, const QString& b)
{
    std::vector<int> row(std::size_t(b.size()) + 1);
    for (std::size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int above = row[std::size_t(j)];
            row[std::size_t(j)] = std::min({above + 1, row[std::size_t(j - 1)] + 1,
                                            diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row.back();
}

// "; did you mean X?" with what to change, or nothing.
QString suggestion(const QString& name, const QStringList& known, const QString& wrap)
{
    const QString closest = closestName(name, known);
    if (closest.isEmpty())
        return {};
    QStringList names = closest.split(QStringLiteral(" or "));
    for (QString& one : names)
        one = wrap.arg(one);
    const QString shown = names.join(QStringLiteral(" or "));
    if (closest.compare(name, Qt::CaseInsensitive) == 0)
        return QStringLiteral("; did you mean %1? Letter case counts").arg(shown);
    return QStringLiteral("; did you mean %1?").arg(shown);
}

// Checks the lines of one section; `warn(row, message)` records a finding on a line.
class SectionCheck {
public:
    SectionCheck(const SectionTable& table, const QStringList& fileLines, ConfigProblems& found)
        : m_table(table), m_fileLines(fileLines), m_found(found)
    {
    }

    void warn(qsizetype row, const QString& message)
    {
        const int line = m_table.fileLine(row);
        m_found.push_back(
            {ConfigProblem::Severity::Warning, line, m_fileLines.value(line - 1), message});
    }
    // The fields as written, not as padded: a missing comma shows here.
    int fieldCount(qsizetype row) const
    {
        return int(
            std::min<qsizetype>(m_fileLines.value(m_table.fileLine(row) - 1).count(u',') + 1, 4));
    }
    void keyword(qsizetype row, const QStringList& known, const char* what)
    {
        const QString word = m_table.field(2, row).toUpper();
        if (word.isEmpty() || known.contains(word))
            return;
        warn(row, QStringLiteral("unknown %1 \"%2\"; the line keeps its own text%3")
                      .arg(QLatin1StringView(what), m_table.field(2, row),
                           suggestion(word, known, QStringLiteral("\"%1\""))));
    }

private:
    const SectionTable& m_table;
    const QStringList& m_fileLines;
    ConfigProblems& m_found;
};

// The whole number a field holds, or nothing.
std::optional<double> wholeNumber(const QString& text)
{
    const std::optional<double> number = ReadWholeNumber(text);
    if (!number || std::floor(*number) != *number)
        return std::nullopt;
    return number;
}

void checkLamps(const SectionTable& table, SectionCheck& check, int outputs, const char* board)
{
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        if (check.fieldCount(row) < 4) {
            check.warn(row, QStringLiteral("too few fields; expected output, description, bit "
                                           "mask, light-bit word (a missing comma?)"));
            continue;
        }
        const std::optional<double> output = wholeNumber(table.field(0, row));
        if (!output || *output < 0 || *output >= outputs) {
            check.warn(row, QStringLiteral("output \"%1\" is not on %2 (0 to %3); the lamp is "
                                           "skipped")
                                .arg(table.field(0, row), QLatin1StringView(board))
                                .arg(outputs - 1));
        }
        for (int field : {2, 3}) {
            if (!wholeNumber(table.field(field, row))) {
                check.warn(row, QStringLiteral("the %1 \"%2\" is not a whole number; the lamp "
                                               "is skipped")
                                    .arg(field == 2 ? QStringLiteral("bit mask")
                                                    : QStringLiteral("light-bit word"),
                                         table.field(field, row)));
            }
        }
    }
}

void checkTextLed(const SectionTable& table, SectionCheck& check)
{
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        const std::optional<double> boardRow = wholeNumber(table.field(0, row));
        if (!boardRow || *boardRow < 0 || *boardRow > 3) {
            check.warn(row, QStringLiteral("row \"%1\" is not on a TextLED board (0 to 3); the "
                                           "line is not shown")
                                .arg(table.field(0, row)));
        }
        check.keyword(row, TextDisplays::textLedKeywords(), "TextLED keyword");
    }
}

void checkTextLcd(const SectionTable& table, SectionCheck& check)
{
    if (table.isEmpty())
        return;
    check.keyword(0, TextDisplays::textLcdModes(), "TextLCD mode");
    const bool faultList = table.field(2, 0).toUpper() == u"PFD";
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        if (row >= 2)
            check.warn(row, QStringLiteral("a TextLCD board has two rows; this line is not "
                                           "shown"));
        const std::optional<double> line = wholeNumber(table.field(0, row));
        if (faultList && (!line || *line < 1 || *line > 5)) {
            check.warn(row, QStringLiteral("fault-list line \"%1\" does not exist (1 to 5)")
                                .arg(table.field(0, row)));
        }
    }
}

void checkKeywords(const SectionTable& table, SectionCheck& check, const QStringList& known,
                   const char* what)
{
    for (qsizetype row = 0; row < table.rowCount(); ++row)
        check.keyword(row, known, what);
}

void checkEpic(const SectionTable& table, SectionCheck& check)
{
    const QStringList known = EpicDispatch::keywords();
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        check.keyword(row, known, "EPIC keyword");
        if (!wholeNumber(table.field(0, row))) {
            check.warn(row, QStringLiteral("the pigeonhole \"%1\" is not a whole number; the "
                                           "line is skipped")
                                .arg(table.field(0, row)));
        }
    }
}

// Global keys read and let go: a check starts no connection.
class UnusedKeys final : public ConfigGlobalKeys {
public:
    void setServerAddress(const QString&) override {}
    void setServerPort(const QString&) override {}
    void selectConnectType(int) override {}
    void setNoScreenUpdate(bool) override {}
    void setUpdateEpicAnyway(bool) override {}
    void setGSuitFormula(int, const QString&) override {}
};

} // namespace

QString closestName(const QString& name, const QStringList& known)
{
    QStringList closest; // all those equally close: "NOZZLE2" is one from NOZZLE and NOZZZLE2
    int best = std::max<int>(2, int(name.size()) / 3) + 1;
    for (const QString& candidate : known) {
        const int distance = editDistance(name.toUpper(), candidate.toUpper());
        if (distance < best)
            closest.clear();
        if (distance <= best) {
            best = distance;
            closest << candidate;
        }
    }
    return closest.join(QStringLiteral(" or "));
}

QString unknownSectionMessage(const QString& name)
{
    return QStringLiteral("unknown section [%1], ignored%2")
        .arg(name,
             suggestion(name,
                        ConfigTables::deviceSectionNames() + ConfigFileParser::globalKeyNames(),
                        QStringLiteral("[%1]")));
}

void sortByLine(ConfigProblems& problems)
{
    std::stable_sort(
        problems.begin(), problems.end(),
        [](const ConfigProblem& a, const ConfigProblem& b) { return a.line < b.line; });
}

ConfigProblems checkSections(const ConfigTables& tables, const QStringList& fileLines)
{
    ConfigProblems found;
    const auto check = [&](const std::optional<SectionTable>& table,
                           const std::function<void(const SectionTable&, SectionCheck&)>& run) {
        if (!table)
            return;
        SectionCheck lines(*table, fileLines, found);
        run(*table, lines);
    };
    const auto lamps = [](int outputs, const char* board) {
        return [outputs, board](const SectionTable& table, SectionCheck& lines) {
            checkLamps(table, lines, outputs, board);
        };
    };
    check(tables.maPLED64_1, lamps(64, "an LED-64 board"));
    check(tables.maPLED64_2, lamps(64, "an LED-64 board"));
    check(tables.maP01616_1, lamps(16, "an interface kit"));
    check(tables.maP01616_2, lamps(16, "an interface kit"));
    check(tables.maPTLED_1, checkTextLed);
    check(tables.maPTLED_2, checkTextLed);
    check(tables.maPTLCD_1, checkTextLcd);
    check(tables.maPTLCD_2, checkTextLcd);
    check(tables.maSKITS, [](const SectionTable& table, SectionCheck& lines) {
        checkKeywords(table, lines, GaugeOutputs::gaugeKeywords(), "gauge keyword");
    });
    check(tables.maEPICAnalogs, checkEpic);
    std::stable_sort(
        found.begin(), found.end(),
        [](const ConfigProblem& a, const ConfigProblem& b) { return a.line < b.line; });
    return found;
}

ConfigProblems readConfigText(QStringView text, ConfigTables& tables, ConfigGlobalKeys& keys)
{
    ConfigProblems problems;
    ConfigFileParser::parse(text, tables, keys, &problems);
    // What could be read is checked too: all mistakes are found in one pass.
    const ConfigProblems found = checkSections(tables, ConfigFileParser::lines(text));
    problems.insert(problems.end(), found.begin(), found.end());
    sortByLine(problems);
    return problems;
}

bool hasError(const ConfigProblems& problems)
{
    return std::any_of(problems.begin(), problems.end(), [](const ConfigProblem& problem) {
        return problem.severity == ConfigProblem::Severity::Error;
    });
}

QString errorSentences(const ConfigProblems& problems, const QString& file)
{
    QStringList sentences;
    for (const ConfigProblem& problem : problems) {
        if (problem.severity == ConfigProblem::Severity::Error)
            sentences << problem.sentence(file);
    }
    return sentences.join(u'\r');
}

ConfigProblems checkConfigFile(const QString& path)
{
    ConfigProblems problems;
    const auto fileError = [&problems](const QString& message) {
        problems.push_back({ConfigProblem::Severity::Error, 0, QString(), message});
    };
    const QFileInfo file(path);
    if (!file.exists()) {
        fileError(QStringLiteral("%1 is missing; looked for it in %2")
                      .arg(file.fileName(), QDir::toNativeSeparators(file.absolutePath())));
        return problems;
    }
    try {
        const QString text = ConfigFileParser::readFile(path);
        ConfigTables tables;
        UnusedKeys keys;
        problems = readConfigText(text, tables, keys);
        if (const QString missing = tables.missingRequiredSection(); !missing.isEmpty())
            fileError(QStringLiteral("Section [%1] is missing from Glimrow.cfg").arg(missing));
    } catch (const StartupError& error) {
        fileError(error.description());
    }
    sortByLine(problems);
    return problems;
}

} // namespace glimrow
