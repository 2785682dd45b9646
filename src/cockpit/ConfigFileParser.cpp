#include "cockpit/ConfigFileParser.h"

#include "cockpit/StartupError.h"

#include <QFile>

#include <optional>

namespace glimrow {
namespace {

// A configuration file is a few kilobytes; anything this large is not one, and reading it
// whole could exhaust memory.
constexpr qint64 kMaxConfigFileBytes = 16 * 1024 * 1024;

// Hands out the file's lines without their line ends (LF, with any CRs before it).
class LineReader {
public:
    explicit LineReader(QStringView text) : m_text(text) {}

    bool atEnd() const { return m_pos >= m_text.size(); }

    QStringView peek() const { return lineAt(m_pos).first; }

    QStringView next()
    {
        const auto [line, nextPos] = lineAt(m_pos);
        m_pos = nextPos;
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
        qsizetype end = m_text.indexOf(u'\n', pos);
        const qsizetype nextPos = end < 0 ? m_text.size() : end + 1;
        if (end < 0)
            end = m_text.size();
        QStringView line = m_text.sliced(pos, end - pos);
        while (line.endsWith(u'\r'))
            line.chop(1);
        return {line, nextPos};
    }

    QStringView m_text;
    qsizetype m_pos = 0;
};

enum class GlobalKey { None, Address, Port, ConnectType, NoScreenUpdate, UpdateEpicAnyway };

GlobalKey globalKeyFor(QStringView name)
{
    if (name == u"TCPIP-IP")
        return GlobalKey::Address;
    if (name == u"TCPIP-PORT")
        return GlobalKey::Port;
    if (name == u"COMPREF")
        return GlobalKey::ConnectType;
    if (name == u"NOSCREENUPDATE")
        return GlobalKey::NoScreenUpdate;
    if (name == u"UPDATEEPICANYWAY")
        return GlobalKey::UpdateEpicAnyway;
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
    case GlobalKey::None:
        break;
    }
}

// "[name]": every character between "[" and the first "]" except further "["s. Only blanks
// may follow on the line; anything else (or no "]") is a format error.
std::optional<QString> headerName(QStringView line)
{
    const qsizetype close = line.indexOf(u']');
    if (close < 0)
        return std::nullopt;
    for (QChar c : line.sliced(close + 1)) {
        if (c != u' ' && c != u'\t')
            return std::nullopt;
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

// The value is the line up to a comma; a comma with text after it breaks the one-value rule.
bool readGlobalValue(GlobalKey key, LineReader& lines, ConfigGlobalKeys& keys)
{
    if (lines.atEnd() || endsSection(lines.peek()))
        return true; // a header without a value line sets nothing
    const QStringView line = lines.next();
    const qsizetype comma = line.indexOf(u',');
    if (comma >= 0 && comma + 1 < line.size())
        return false;
    applyGlobalKey(key, (comma < 0 ? line : line.first(comma)).toString(), keys);
    return true;
}

// Reads data lines up to the next header, comment or end of file.
std::optional<SectionTable> readDeviceLines(LineReader& lines)
{
    SectionTable table;
    while (!lines.atEnd() && !endsSection(lines.peek())) {
        if (lines.onlyBlankLinesLeft())
            break;
        const QStringView line = lines.next();
        if (line.isEmpty())
            return std::nullopt; // a blank line inside a section
        table.appendRow(splitFields(line));
    }
    return table;
}

QStringView withoutLeadingCarriageReturns(QStringView line)
{
    while (line.startsWith(u'\r'))
        line = line.sliced(1);
    return line;
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

bool ConfigFileParser::parse(QStringView text, ConfigTables& tables, ConfigGlobalKeys& keys)
{
    LineReader lines(text);
    while (!lines.atEnd()) {
        if (lines.onlyBlankLinesLeft())
            return true;
        const QStringView line = withoutLeadingCarriageReturns(lines.next());
        if (line.startsWith(u'/'))
            continue;
        if (!line.startsWith(u'['))
            return false; // a data line or blank line where a header or comment must stand
        const std::optional<QString> name = headerName(line);
        if (!name)
            return false;
        if (const GlobalKey key = globalKeyFor(*name); key != GlobalKey::None) {
            if (!readGlobalValue(key, lines, keys))
                return false;
            continue;
        }
        std::optional<SectionTable> table = readDeviceLines(lines);
        if (!table)
            return false;
        if (std::optional<SectionTable>* slot = tables.tableForSection(*name))
            *slot = std::move(*table);
    }
    return true;
}

QString ConfigFileParser::readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw StartupError(QStringLiteral("Glimrow.cfg cannot be read: ") + file.errorString(),
                           StartupError::PathFileAccessError);
    }
    if (file.size() > kMaxConfigFileBytes) {
        throw StartupError(QStringLiteral("Glimrow.cfg is too large (%1 bytes) to be a "
                                          "configuration file")
                               .arg(file.size()),
                           StartupError::PathFileAccessError);
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw StartupError(QStringLiteral("Glimrow.cfg cannot be read: ") + file.errorString(),
                           StartupError::PathFileAccessError);
    }
    return QString::fromLatin1(bytes);
}

} // namespace glimrow
