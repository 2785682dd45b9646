#include "cockpit/ConfigFileParser.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>

using namespace glimrow;

namespace {

// Records the global keys in the order the parser applies them.
class RecordingKeys : public ConfigGlobalKeys {
public:
    QStringList applied;
    void setServerAddress(const QString& a) override { applied << "address=" + a; }
    void setServerPort(const QString& p) override { applied << "port=" + p; }
    void selectConnectType(int i) override { applied << "connect=" + QString::number(i); }
    void setNoScreenUpdate(bool c) override { applied << QString("noscreen=%1").arg(c); }
    void setUpdateEpicAnyway(bool c) override { applied << QString("epicanyway=%1").arg(c); }
    void setGSuitFormula(int m, const QString& f) override
    {
        applied << QString("gsuit%1=%2").arg(m).arg(f);
    }
};

QString crlf(const QStringList& lines)
{
    return lines.join("\r\n") + "\r\n";
}

struct Parsed {
    bool ok = false;
    ConfigTables tables;
    RecordingKeys keys;
};

std::unique_ptr<Parsed> parse(const QString& text)
{
    auto parsed = std::make_unique<Parsed>();
    parsed->ok = ConfigFileParser::parse(text, parsed->tables, parsed->keys);
    return parsed;
}

SectionTable::Row row(const char* a, const char* b, const char* c, const char* d)
{
    return {QString(a), QString(b), QString(c), QString(d)};
}

} // namespace

TEST(ConfigFileParser, SectionsFillTheirTablesInFileOrder)
{
    auto p = parse(crlf({"/ lamps of board 1", "[PLED64-1]", "0,Master caution,1,1", "5,Fire,a,b,c",
                         "[PLED64-2]", "[SKITS]", "1,Airspeed,KIAS,0", "[Unknown]", "1,2,3,4",
                         "[PLED64-1]", "7,Later,2,2"}));
    ASSERT_TRUE(p->ok);
    // A repeated section replaces the earlier one.
    ASSERT_TRUE(p->tables.maPLED64_1);
    ASSERT_EQ(p->tables.maPLED64_1->rowCount(), 1);
    EXPECT_EQ(p->tables.maPLED64_1->row(0), row("7", "Later", "2", "2"));
    // A header directly followed by another gives an empty table; an absent one none.
    ASSERT_TRUE(p->tables.maPLED64_2);
    EXPECT_TRUE(p->tables.maPLED64_2->isEmpty());
    EXPECT_FALSE(p->tables.maP01616_1);
    ASSERT_TRUE(p->tables.maSKITS);
    EXPECT_EQ(p->tables.maSKITS->row(0), row("1", "Airspeed", "KIAS", "0"));

    auto q = parse(crlf({"[EPICAnalogs]", "12,Fuel total,TOTAL,", "a,b,c,d,e", " x , y ,z"}));
    ASSERT_TRUE(q->ok);
    const SectionTable& epic = *q->tables.maEPICAnalogs;
    ASSERT_EQ(epic.rowCount(), 3);
    EXPECT_EQ(epic.row(0), row("12", "Fuel total", "TOTAL", ""));
    EXPECT_EQ(epic.row(1), row("a", "b", "c", "d,e"));
    // Fields are verbatim, and a short line never runs into the next one.
    EXPECT_EQ(epic.row(2), row(" x ", " y ", "z", ""));
}

TEST(ConfigFileParser, GlobalKeysApplyInFileOrderWithTheirCaseRules)
{
    auto p = parse(crlf({"[COMPREF]", "dcom", "[TCPIP-IP]", " 127.0.0.1 ", "[TCPIP-PORT]", "4000",
                         "[NOSCREENUPDATE]", "true", "[UPDATEEPICANYWAY]", "TRUE ", "[COMPREF]",
                         "DCOM", "[NOSCREENUPDATE]", "True", "[TCPIP-IP]", ""}));
    ASSERT_TRUE(p->ok);
    EXPECT_EQ(p->keys.applied,
              QStringList({"connect=0", "address= 127.0.0.1 ", "port=4000", "noscreen=1",
                           "epicanyway=0", "connect=1", "noscreen=1", "address="}));

    // A value with a trailing comma is taken up to it; text after a comma is a format error.
    EXPECT_TRUE(parse(crlf({"[TCPIP-PORT]", "4000,"}))->ok);
    EXPECT_FALSE(parse(crlf({"[TCPIP-PORT]", "4000,5000"}))->ok);
    // One value line only: the line after it must be a header or comment.
    EXPECT_FALSE(parse(crlf({"[TCPIP-PORT]", "4000", "4001"}))->ok);
    // A header without a value sets nothing.
    auto empty = parse(crlf({"[COMPREF]", "/ nothing", "[TCPIP-IP]"}));
    EXPECT_TRUE(empty->ok);
    EXPECT_TRUE(empty->keys.applied.isEmpty());
}

TEST(ConfigFileParser, BlankLinesCommentsAndStrayTextAreFormatErrors)
{
    EXPECT_FALSE(parse(crlf({"", "[SKITS]"}))->ok);
    EXPECT_FALSE(parse(crlf({"[SKITS]", "1,a,KIAS,", "", "[PTLED-1]", "0,x,FUELFLOW,"}))->ok);
    EXPECT_FALSE(parse(crlf({"[SKITS]", "1,a,KIAS,", "/ end", "2,b,ALT,"}))->ok);
    EXPECT_FALSE(parse(crlf({"SKITS"}))->ok);
    EXPECT_FALSE(parse(crlf({"[SKITS] lamps"}))->ok);

    // A comment ends the section; the next header starts a new one.
    auto p = parse(crlf({"[SKITS]", "1,a,KIAS,", "/ end", "[EPICAnalogs]", "2,b,RPM,"}));
    ASSERT_TRUE(p->ok);
    EXPECT_EQ(p->tables.maSKITS->rowCount(), 1);
    EXPECT_EQ(p->tables.maEPICAnalogs->rowCount(), 1);
    // Blank lines at the very end of the file are ignored.
    auto trailing = parse(crlf({"[SKITS]", "1,a,KIAS,", "", ""}));
    ASSERT_TRUE(trailing->ok);
    EXPECT_EQ(trailing->tables.maSKITS->rowCount(), 1);
    // Header names are exact: these are unknown sections and are dropped.
    auto names = parse(crlf({"[skits]", "1,a,b,c", "[ SKITS]", "1,a,b,c"}));
    ASSERT_TRUE(names->ok);
    EXPECT_FALSE(names->tables.maSKITS);
}

TEST(ConfigFileParser, LineEndsOfEveryKindAndTheLastLineAreReadWhole)
{
    // Lone LF (edited on Linux), lone CR (old Mac editors), no line end on the last line.
    auto p = parse("[SKITS]\n1,Airspeed,KIAS,250\r[PTLED-1]\r\n0,Fuel flow,FUELFLOW,1234");
    ASSERT_TRUE(p->ok);
    EXPECT_EQ(p->tables.maSKITS->row(0), row("1", "Airspeed", "KIAS", "250"));
    EXPECT_EQ(p->tables.maPTLED_1->row(0), row("0", "Fuel flow", "FUELFLOW", "1234"));

    EXPECT_EQ(parse("[SKITS]\r\n1,a,KIAS,\r\n/ last line")->tables.maSKITS->rowCount(), 1);
    EXPECT_EQ(parse("[TCPIP-PORT]\r\n4000")->keys.applied, QStringList({"port=4000"}));

    EXPECT_TRUE(parse("")->ok);
}

// Random bytes are FuzzConfigParser's; these are the extremes it would take long to reach.
TEST(ConfigFileParser, BadInputEndsInAFormatErrorOrACleanParse)
{
    // NUL bytes are ordinary characters.
    auto nul = parse(QString::fromLatin1(QByteArray("[SKITS]\r\n1,a\0b,KIAS,\r\n", 21)));
    ASSERT_TRUE(nul->ok);
    EXPECT_EQ(nul->tables.maSKITS->field(1, 0), QString::fromLatin1("a\0b", 3));
    EXPECT_FALSE(parse(QString::fromLatin1(QByteArray("\0[SKITS]\r\n", 10)))->ok);

    // Line ends only, of any kind (blank lines before a header are not); a header without "]".
    EXPECT_FALSE(parse(QString(5000, u'\r') + "[SKITS]\r\n")->ok);
    EXPECT_TRUE(parse(QString(5000, u'\r'))->ok);
    EXPECT_TRUE(parse(QString(5000, u'\n'))->ok);
    EXPECT_FALSE(parse("[SKITS\r\n1,a,KIAS,\r\n")->ok);

    // One megabyte on a single line.
    QString huge = "[EPICAnalogs]\r\n1,";
    huge += QString(1024 * 1024, u'x');
    auto big = parse(huge);
    ASSERT_TRUE(big->ok);
    EXPECT_EQ(big->tables.maEPICAnalogs->field(1, 0).size(), 1024 * 1024);

    // A section longer than any board: refused at its first line too many, which is named.
    QStringList lamps{"[PLED64-1]"};
    for (qsizetype line = 0; line <= ConfigFileParser::kMaxLinesPerSection; ++line)
        lamps << QString("%1,Lamp,1,1").arg(line % 64);
    ConfigTables tables;
    RecordingKeys keys;
    ConfigProblems problems;
    EXPECT_FALSE(ConfigFileParser::parse(crlf(lamps), tables, keys, &problems));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].line, ConfigFileParser::kMaxLinesPerSection + 2);
    EXPECT_TRUE(problems[0].message.contains("more than 1000 lines in [PLED64-1]"));
    lamps.removeLast();
    EXPECT_TRUE(parse(crlf(lamps))->ok);
    // A section the program does not use is dropped whole, however long.
    lamps[0] = "[PLED64-9]";
    lamps << "1,Lamp,1,1";
    EXPECT_TRUE(parse(crlf(lamps))->ok);
}

TEST(ConfigFileParser, ExampleConfigurationRoundTrips)
{
    QFile file(GLIMROW_EXAMPLES_DIR "/Glimrow.cfg");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(file.readAll());
    ASSERT_TRUE(text.endsWith("\r\n"));
    ASSERT_FALSE(QString(text).remove("\r\n").contains(u'\n')) << "every line ends with CR LF";

    auto p = parse(text);
    ASSERT_TRUE(p->ok);

    // Every device section is there, with lines.
    for (const char* name : {"PLED64-1", "PLED64-2", "P01616-1", "P01616-2", "PTLED-1", "PTLED-2",
                             "PTLCD-1", "PTLCD-2", "SKITS", "EPICAnalogs"}) {
        const std::optional<SectionTable>* table = p->tables.tableForSection(QString(name));
        ASSERT_TRUE(table && *table && !(*table)->isEmpty()) << name;
    }
}
