// Readouts on TextLED and TextLCD boards and the screen mirrors, driven by the cockpit from the
// flight data; and the rendering of the aircraft's screens.

#include "support/CockpitFixture.h"
#include "support/QtPrinters.h"

#include "phidget/DisplayText.h"

using namespace glimrow;
using namespace glimrow::test;
using F = glimrow::FlightDataField;

namespace {

using Texts = CockpitFixture;

} // namespace

TEST_F(Texts, TextLedReadoutsAreRightAlignedAndCut)
{
    for (auto [field, value] : {std::pair{F::FuelFlow, 1234.6},
                                {F::InternalFuel, 1234000.0},
                                {F::ExternalFuel, 567.0},
                                {F::AUXTChan, 7.0},
                                {F::UFCTChan, 126.0},
                                {F::ChaffCount, 30.0},
                                {F::Flarecount, 12.0}})
        set(field, value);
    set(F::LightBits2, 64 | 2048);
    // Board rows from field 0: later lines overwrite earlier ones on the same row, and the
    // 8-character rows cut longer texts. The grid shows every line.
    start(withRequiredSections("[PTLED-1]\r\n0,,fuelflow,\r\n1,,TOTALIZER,\r\n2,,AUXTCHAN,\r\n"
                               "3,,UFCTCHAN,\r\n0,,CMDS1,\r\n1,,CMDS2,\r\n2,,OTHER,own text\r\n"));
    tick();
    const MemoryGrid& shown = grid(CockpitGrid::PTLED_1);
    const QStringList expected{"  1235",     "234567",     "   7",    " 126",
                               "GO  DSPRDY", "  LO 30 12", "own text"};
    for (int line = 0; line < expected.size(); ++line)
        EXPECT_EQ(shown.text(line + 1, 3), expected[line]) << "line " << line;
    EXPECT_EQ(board(40001).rows, QStringList({"GO  DSPR", "  LO 30 ", "own text", " 126"}));

    set(F::LightBits2, 0);
    tick();
    EXPECT_EQ(shown.text(5, 3), "NO GO");
    EXPECT_EQ(shown.text(6, 3), "     30 12");
}

TEST_F(Texts, CountermeasurePanelOnTheTextLcd)
{
    set(F::ChaffCount, 30);
    set(F::Flarecount, 8);
    start(withRequiredSections("[PTLCD-2]\r\n1,Chaff,cmds,\r\n2,Flares,,\r\n"));
    const auto rows = [&](double speedBrake) {
        set(F::SpeedBrake, speedBrake);
        tick();
        return board(30002).rows;
    };
    EXPECT_EQ(rows(0.5), QStringList({"            CHAFF:30", "SB 50%      FLARE:8"}));
    EXPECT_EQ(rows(1)[1], "SB 100%     FLARE:8");
    EXPECT_EQ(rows(0)[1], "            FLARE:8");
    EXPECT_EQ(rows(0.125)[1], "SB 12%      FLARE:8"); // halves to even
    set(F::LightBits2, 65536);
    EXPECT_EQ(rows(0)[0], "JMR ON      CHAFF:30");
    EXPECT_EQ(grid(CockpitGrid::PTLCD_2).text(1, 3), "JMR ON      CHAFF:30");
}

TEST_F(Texts, FaultListLinesOnTheTextLcdAndTheScreenMirrors)
{
    const QString pfl = QString("FAULT LIST").leftJustified(27) +
                        QString("  FLCS BUS").leftJustified(26) +
                        QString("  \x01 ENG").leftJustified(25) + QString(" ").repeated(26) +
                        QString("LAST LINE").rightJustified(26, u'x');
    set(F::PFLLines, pfl);
    set(F::PFLInvert, QString(pfl.size(), u' '));
    set(F::DEDLines, QString("COM1 \x02"));
    start(withRequiredSections("[PTLCD-1]\r\n2,,PFD,\r\n3,,,\r\n[PTLCD-2]\r\n5,,pfd,\r\n"));
    tick();
    EXPECT_EQ(board(30001).rows, QStringList({"FLCS BUS", QString::fromLatin1("\xa6 ENG")}));
    // Whole, last character included.
    EXPECT_EQ(grid(CockpitGrid::PTLCD_2).text(1, 3), "xxxxxxxxxxxxxxxxxLAST LINE");
    EXPECT_EQ(label(CockpitLabel::DED), "COM1 *");
    EXPECT_TRUE(label(CockpitLabel::PFL).startsWith("FAULT LIST\r"));
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
