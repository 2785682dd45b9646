#include "OutputsFixture.h"
#include "support/QtPrinters.h"

#include "phidget/DisplayText.h"
#include "phidget/TextDisplays.h"

using namespace glimrow;
using namespace glimrow::test;

namespace {

class Texts : public Outputs {
protected:
    MemoryLabel m_ded, m_pfl;
    TextDisplays m_texts{m_data, m_cache, m_window, m_ded, m_pfl};
    TextBoardOutputs m_textLed{m_grid, BoardSlot(m_devices, BoardKind::TextLED, 1), m_window};
    TextBoardOutputs m_textLcd{m_grid, BoardSlot(m_devices, BoardKind::TextLCD, 2), m_window};
};

} // namespace

TEST_F(Texts, TextLedReadoutsAreRightAlignedAndCut)
{
    using F = FlightDataField;
    m_data.set(F::FuelFlow, 1234.6);
    m_data.set(F::InternalFuel, 1234000.0);
    m_data.set(F::ExternalFuel, 567.0);
    m_data.set(F::AUXTChan, 7);
    m_data.set(F::UFCTChan, 126);
    m_data.set(F::ChaffCount, 30);
    m_data.set(F::Flarecount, 12);
    SectionTable table = tableOf({{"0", "", "fuelflow", ""},
                                  {"1", "", "TOTALIZER", ""},
                                  {"2", "", "AUXTCHAN", ""},
                                  {"3", "", "UFCTCHAN", ""},
                                  {"0", "", "CMDS1", ""},
                                  {"1", "", "CMDS2", ""},
                                  {"2", "", "OTHER", "own text"}});
    m_cache.LightBits2 = 64 | 2048;
    m_texts.BuildTextLEDStrings(table);
    EXPECT_EQ(table.field(3, 0), "  1235");
    EXPECT_EQ(table.field(3, 1), "234567");
    EXPECT_EQ(table.field(3, 2), "   7");
    EXPECT_EQ(table.field(3, 3), " 126");
    EXPECT_EQ(table.field(3, 4), "GO  DSPRDY");
    EXPECT_EQ(table.field(3, 5), "  LO 30 12");
    EXPECT_EQ(table.field(3, 6), "own text");

    m_cache.LightBits2 = 0;
    m_texts.BuildTextLEDStrings(table);
    EXPECT_EQ(table.field(3, 4), "NO GO");
    EXPECT_EQ(table.field(3, 5), "     30 12");

    // Board row from field 0 (later lines overwrite earlier ones on the same row, and the
    // 8-character rows cut longer texts); the grid gets every line.
    attachDefaultBoards();
    m_textLed.SendTextLED(table);
    EXPECT_EQ(board(40001).rows, QStringList({"NO GO", "     30 ", "own text", " 126"}));
    EXPECT_EQ(m_grid.text(1, 3), "  1235");
}

TEST_F(Texts, CountermeasurePanelOnTheTextLcd)
{
    using F = FlightDataField;
    m_data.set(F::ChaffCount, 30);
    m_data.set(F::Flarecount, 8);
    SectionTable table = tableOf({{"1", "Chaff", "cmds", ""}, {"2", "Flares", "", ""}});
    const auto secondLine = [&](double speedBrake) {
        m_data.set(F::SpeedBrake, speedBrake);
        m_texts.BuildTextLCDStrings(table);
        return table.field(3, 1);
    };
    EXPECT_EQ(secondLine(0.5), "SB 50%      FLARE:8");
    EXPECT_EQ(secondLine(1), "SB 100%     FLARE:8");
    EXPECT_EQ(secondLine(0), "            FLARE:8");
    EXPECT_EQ(secondLine(0.125), "SB 12%      FLARE:8"); // halves to even
    EXPECT_EQ(table.field(3, 0), "            CHAFF:30");
    EXPECT_EQ(table.field(3, 0).size(), 20);
    m_cache.LightBits2 = 65536;
    m_texts.BuildTextLCDStrings(table);
    EXPECT_EQ(table.field(3, 0), "JMR ON      CHAFF:30");

    attachDefaultBoards();
    m_textLcd.SendTextLCD(table);
    EXPECT_EQ(board(30002).rows, QStringList({"JMR ON      CHAFF:30", "SB 12%      FLARE:8"}));
}

TEST_F(Texts, FaultListLinesOnTheTextLcdAndTheScreenMirrors)
{
    QString pfl = QString("FAULT LIST").leftJustified(27) +
                  QString("  FLCS BUS").leftJustified(26) +
                  QString("  \x01 ENG").leftJustified(25) + QString(" ").repeated(26) +
                  QString("LAST LINE").rightJustified(26, u'x');
    m_data.set(FlightDataField::PFLLines, pfl);
    m_data.set(FlightDataField::PFLInvert, QString(pfl.size(), u' '));
    m_data.set(FlightDataField::DEDLines, QString("COM1 \x02"));
    m_data.set(FlightDataField::Invert, QString());
    SectionTable table = tableOf({{"2", "", "PFD", ""}, {"3", "", "", ""}, {"5", "", "", ""}});
    m_texts.BuildTextLCDStrings(table);
    EXPECT_EQ(table.field(3, 0), "FLCS BUS");
    EXPECT_EQ(table.field(3, 1), QString::fromLatin1("\xa6 ENG"));
    EXPECT_EQ(table.field(3, 2), "xxxxxxxxxxxxxxxxxLAST LINE"); // whole, last character included

    m_texts.ShowDED();
    m_texts.ShowPFL();
    EXPECT_EQ(m_ded.text, "COM1 *");
    EXPECT_TRUE(m_pfl.text.startsWith("FAULT LIST\r"));

    // In TCP/IP mode there is no object: the build ends and the file's text stays.
    m_data.present = false;
    table.setField(3, 0, "from the file");
    EXPECT_THROW(m_texts.BuildTextLCDStrings(table), FlightDataError);
    EXPECT_EQ(table.field(3, 0), "from the file");
}

TEST(DisplayText, LinesBreakAtTheirPositionsAndSpecialCodesAreShown)
{
    const QString line = QString("ABCDEF G") + QString(19, u' '); // 27 characters
    EXPECT_EQ(BuildDisplay(line, ""), "ABCDEFG\r");               // position 7's space dropped
    EXPECT_EQ(BuildDisplay(QString::fromLatin1("A\x01\x02\x03 \t\xff"), ""),
              QString::fromLatin1("A\xa6* "));
    EXPECT_EQ(BuildDisplay(QString(200, u'Z'), "").count(u'\r'), 5);
    EXPECT_EQ(GetDisplayLine(" one \rtwo\r", 1), "one");
    EXPECT_EQ(GetDisplayLine(" one \rtwo\r", 2), "two");
    EXPECT_EQ(GetDisplayLine(" one \rtwo\r", 9), "");
    EXPECT_EQ(GetDisplayLine(" one ", 0), "");
}
