#include "cockpit/ConfigFileParser.h"

#include "cockpit/ConfigCheck.h"
#include "cockpit/StartupError.h"
#include "phidget/GSuitFormula.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <optional>
#include <utility>

namespace glimrow {
namespace {

// A configuration file is a few kilobytes; anything this large is not one, and reading it
// whole could exhaust memory.
constexpr qint64 kMaxConfigFileBytes = 16 * 1024 * 1024;

// UTF-8 when the bytes are valid UTF-8 (a byte-order mark skipped), else Windows-1252: Latin-1
// with the printable characters Windows puts at 0x80 to 0x9F.
QString decodeText(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    static constexpr char16_t kWindows1252[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    text.resize(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        text[i] = QChar(byte >= 0x80 && byte < 0xA0 ? kWindows1252[byte - 0x80] : char16_t(byte));
    }
    return text;
}

// Hands out the file's lines without their line ends (CR LF, LF or CR alone), with their
// numbers.
class LineReader {
public:
    explicit LineReader(QStringView text) : m_text(text) {}

    bool atEnd() const { return m_pos >= m_text.size(); }
    QStringView peek() const { return lineAt(m_pos).first; }
    int lineNumber() const { return m_number; } // of the line next() gave last

    QStringView next()
    {
        const auto [line, nextPos] = lineAt(m_pos);
        m_pos = nextPos;
        ++m_number;
        return line;
    }

    // True when nothing but line ends is left: blank lines at the end of a file are allowed.
    bool onlyBlankLinesLeft() const
    {
        for (qsizetype i = m_pos; i < m_text.size(); ++i) {
            if (m_text[i] != u'\r' && m_text[i] != u'\n')
                return false;
        }
        return true;
    }

private:
    std::pair<QStringView, qsizetype> lineAt(qsizetype pos) const
    {
        qsizetype end = pos;
        while (end < m_text.size() && m_text[end] != u'\r' && m_text[end] != u'\n')
            ++end;
        qsizetype nextPos = end;
        if (nextPos < m_text.size())
            nextPos += m_text.sliced(nextPos).startsWith(u"\r\n") ? 2 : 1;
        return {m_text.sliced(pos, end - pos), nextPos};
    }

    QStringView m_text;
    qsizetype m_pos = 0;
    int m_number = 0;
};

enum class GlobalKey {
    None,
    Address,
    Port,
    ConnectType,
    NoScreenUpdate,
    UpdateEpicAnyway,
    UpdateOnArrival,
    OpenEpicAtStart,
    GSuitFormula1,
    GSuitFormula2,
    WebListen
};

const struct {
    const char* name;
    GlobalKey key;
} kGlobalKeys[] = {
    {"TCPIP-IP", GlobalKey::Address},
    {"TCPIP-PORT", GlobalKey::Port},
    {"COMPREF", GlobalKey::ConnectType},
    {"NOSCREENUPDATE", GlobalKey::NoScreenUpdate},
    {"UPDATEEPICANYWAY", GlobalKey::UpdateEpicAnyway},
    {"UPDATE-ON-ARRIVAL", GlobalKey::UpdateOnArrival},
    {"OPEN-EPIC-AT-START", GlobalKey::OpenEpicAtStart},
    {"GSUIT-1", GlobalKey::GSuitFormula1},
    {"GSUIT-2", GlobalKey::GSuitFormula2},
    {"WEB", GlobalKey::WebListen},
};

GlobalKey globalKeyFor(QStringView name)
{
    for (const auto& global : kGlobalKeys) {
        if (name == QLatin1StringView(global.name))
            return global.key;
    }
    return GlobalKey::None;
}

void applyGlobalKey(GlobalKey key, const QString& value, ConfigGlobalKeys& keys)
{
    const bool isTrue = value.compare(u"TRUE", Qt::CaseInsensitive) == 0;
    switch (key) {
    case GlobalKey::Address:
        keys.setServerAddress(value);
        break;
    case GlobalKey::Port:
        keys.setServerPort(value);
        break;
    case GlobalKey::ConnectType:
        keys.selectConnectType(value == u"DCOM" ? 1 : 0);
        break;
    case GlobalKey::NoScreenUpdate:
        keys.setNoScreenUpdate(isTrue);
        break;
    case GlobalKey::UpdateEpicAnyway:
        keys.setUpdateEpicAnyway(isTrue);
        break;
    case GlobalKey::UpdateOnArrival:
        keys.setUpdateOnArrival(value.compare(u"FALSE", Qt::CaseInsensitive) != 0);
        break;
    case GlobalKey::OpenEpicAtStart:
        keys.setOpenEpicAtStart(isTrue);
        break;
    case GlobalKey::GSuitFormula1:
    case GlobalKey::GSuitFormula2:
        keys.setGSuitFormula(key == GlobalKey::GSuitFormula1 ? 1 : 2, value);
        break;
    case GlobalKey::WebListen:
        keys.setWebListen(value.trimmed());
        break;
    case GlobalKey::None:
        break;
    }
}

// "[name]": every character between "[" and the first "]" except further "["s. Only blanks
// may follow on the line. Otherwise what is wrong, as `problem`.
std::optional<QString> headerName(QStringView line, QString* problem)
{
    const qsizetype close = line.indexOf(u']');
    if (close < 0) {
        *problem = QStringLiteral("no \"]\" after the section name; expected a line with only "
                                  "[NAME]");
        return std::nullopt;
    }
    for (QChar c : line.sliced(close + 1)) {
        if (c != u' ' && c != u'\t') {
            *problem =
                QStringLiteral("text after a section name; expected a line with only [NAME]");
            return std::nullopt;
        }
    }
    QString name = line.sliced(1, close - 1).toString();
    name.remove(u'[');
    return name;
}

// Field 1 to the first comma, field 2 to the second, field 3 to the third, field 4 the rest
// (commas included). A short line gets empty missing fields; it never runs into the next line.
SectionTable::Row splitFields(QStringView line)
{
    SectionTable::Row row;
    for (std::size_t field = 0; field < 3; ++field) {
        const qsizetype comma = line.indexOf(u',');
        if (comma < 0) {
            row[field] = line.toString();
            return row;
        }
        row[field] = line.first(comma).toString();
        line = line.sliced(comma + 1);
    }
    row[3] = line.toString();
    return row;
}

bool endsSection(QStringView line)
{
    return line.startsWith(u'[') || line.startsWith(u'/');
}

const QString kBlankLine =
    QStringLiteral("a blank line; blank lines are allowed only at the end of the file");

// Reads one file whole: a line that breaks the rules is an error and is passed over, so that
// every mistake is found in one reading. Global keys after the first error are not applied: a
// file with an error is not used.
class Parser {
public:
    Parser(QStringView text, ConfigTables& tables, ConfigGlobalKeys& keys)
        : m_lines(text), m_tables(tables), m_keys(keys)
    {
    }

    void run();

    ConfigProblems problems;
    bool failed = false;

private:
    void error(QStringView line, const QString& message)
    {
        problems.push_back(
            {ConfigProblem::Severity::Error, m_lines.lineNumber(), line.toString(), message});
        failed = true;
    }
    void readGlobalValue(const QString& key);
    void readDeviceLines(const QString& name, int headerLine, QStringView header);
    // Passes over the lines of a section whose header could not be read.
    void skipSectionLines();
    QString outsideAnySection() const;

    LineReader m_lines;
    ConfigTables& m_tables;
    ConfigGlobalKeys& m_keys;
    QString m_after; // what the line before the current one closed: a key, a comment
};

void Parser::run()
{
    while (!m_lines.atEnd()) {
        if (m_lines.onlyBlankLinesLeft())
            return;
        const QStringView line = m_lines.next();
        if (line.startsWith(u'/')) {
            m_after = QStringLiteral("comment");
            continue;
        }
        if (line.isEmpty()) {
            error(line, kBlankLine);
            continue;
        }
        if (!line.startsWith(u'[')) {
            if (line.trimmed().startsWith(u'['))
                error(line, QStringLiteral("blanks before the section name; expected [NAME] at "
                                           "the start of the line"));
            else
                error(line, outsideAnySection());
            continue;
        }
        QString problem;
        const std::optional<QString> name = headerName(line, &problem);
        if (!name) {
            error(line, problem);
            skipSectionLines();
        } else if (globalKeyFor(*name) != GlobalKey::None) {
            readGlobalValue(*name);
        } else {
            readDeviceLines(*name, m_lines.lineNumber(), line);
        }
    }
}

QString Parser::outsideAnySection() const
{
    if (m_after == u"comment")
        return QStringLiteral("a line outside any section (the comment above ended the "
                              "section); expected [NAME] or a comment starting with \"/\"");
    if (!m_after.isEmpty())
        return QStringLiteral("a second value for [%1], which takes one; expected [NAME] or a "
                              "comment starting with \"/\"")
            .arg(m_after);
    return QStringLiteral(
        "a line outside any section; expected [NAME] or a comment starting with \"/\"");
}

// The value is the line up to a comma; a comma with text after it breaks the one-value rule.
void Parser::readGlobalValue(const QString& key)
{
    m_after = key;
    if (m_lines.atEnd() || endsSection(m_lines.peek()))
        return;                              // a header without a value line sets nothing
    const QStringView line = m_lines.next(); // an empty line is an empty value
    const qsizetype comma = line.indexOf(u',');
    if (comma >= 0 && comma + 1 < line.size()) {
        error(line, QStringLiteral("more than one value for [%1]; expected one value").arg(key));
        return;
    }
    const QString value = (comma < 0 ? line : line.first(comma)).toString();
    const GlobalKey global = globalKeyFor(key);
    if (global == GlobalKey::GSuitFormula1 || global == GlobalKey::GSuitFormula2) {
        QString problem;
        if (!GSuitFormula::parse(value, &problem)) {
            problems.push_back(
                {ConfigProblem::Severity::Warning, m_lines.lineNumber(), line.toString(),
                 QStringLiteral("%1; the motor follows the load factor itself").arg(problem)});
        }
    }
    if (!failed)
        applyGlobalKey(global, value, m_keys);
}

// Reads data lines up to the next header, comment or end of file.
void Parser::readDeviceLines(const QString& name, int headerLine, QStringView header)
{
    m_after.clear();
    SectionTable table;
    // An unknown section's lines are read past and dropped, however many there are.
    std::optional<SectionTable>* const slot = m_tables.tableForSection(name);
    bool tooLong = false;
    while (!m_lines.atEnd() && !endsSection(m_lines.peek())) {
        if (m_lines.onlyBlankLinesLeft())
            break;
        const QStringView line = m_lines.next();
        if (line.isEmpty()) {
            error(line, kBlankLine);
        } else if (!slot) {
            continue;
        } else if (table.rowCount() < ConfigFileParser::kMaxLinesPerSection) {
            table.appendRow(splitFields(line), m_lines.lineNumber());
        } else if (!std::exchange(tooLong, true)) {
            error(line, QStringLiteral("more than %1 lines in [%2]; no cockpit has that many "
                                       "outputs on one board")
                            .arg(ConfigFileParser::kMaxLinesPerSection)
                            .arg(name));
        }
    }
    if (slot) {
        *slot = std::move(table);
    } else {
        problems.push_back({ConfigProblem::Severity::Warning, headerLine, header.toString(),
                            unknownSectionMessage(name)});
    }
}

void Parser::skipSectionLines()
{
    m_after.clear();
    while (!m_lines.atEnd() && !endsSection(m_lines.peek()))
        m_lines.next();
}

} // namespace

QString ConfigFileParser::formatErrorText()
{
    return QStringLiteral(
        "Your Glimrow.cfg file may be improperly formatted.  The first line must indicate a "
        "parameter enclosed in square brackets.  Eg: [paramname]\r"
        "Valid Parameters are:  PLED64-1, PLED64-2, P01616-1, P01616-2, PTLED-1, PTLED-2 "
        "PTLCD-1, PTLCD-2, SKITS, EPICAnalogs\r"
        "Please Correct the file and rerun Vantor Lumex Mon");
}

bool ConfigFileParser::parse(QStringView text, ConfigTables& tables, ConfigGlobalKeys& keys,
                             ConfigProblems* problems)
{
    if (text.startsWith(QChar(0xfeff)))
        text = text.sliced(1); // a byte-order mark, as Windows Notepad writes
    Parser parser(text, tables, keys);
    parser.run();
    if (problems)
        problems->insert(problems->end(), parser.problems.begin(), parser.problems.end());
    return !parser.failed;
}

QStringList ConfigFileParser::globalKeyNames()
{
    QStringList names;
    for (const auto& global : kGlobalKeys)
        names << QString::fromLatin1(global.name);
    return names;
}

QStringList ConfigFileParser::lines(QStringView text)
{
    if (text.startsWith(QChar(0xfeff)))
        text = text.sliced(1);
    QStringList result;
    LineReader reader(text);
    while (!reader.atEnd())
        result << reader.next().toString();
    return result;
}

QString ConfigFileParser::readFile(const QString& path)
{
    const auto cannotRead = [&path](const QString& why) {
        return StartupError(QStringLiteral("%1 cannot be read: %2").arg(path, why),
                            StartupError::PathFileAccessError);
    };
    // A device or FIFO would hand out bytes for ever, or block start-up waiting for them.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        throw cannotRead(QStringLiteral("it is not a regular file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw cannotRead(file.errorString());
    const QByteArray bytes = file.read(kMaxConfigFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw cannotRead(file.errorString());
    if (bytes.size() > kMaxConfigFileBytes) {
        throw StartupError(QStringLiteral("%1 is too large to be a configuration file (more "
                                          "than %2 bytes)")
                               .arg(path)
                               .arg(kMaxConfigFileBytes),
                           StartupError::PathFileAccessError);
    }
    return decodeText(bytes);
}

} // namespace glimrow
