// The EPIC lines driven by the cockpit through the real Pigrelay onto the virtual EPIC card.

#include "support/CockpitFixture.h"
#include "support/QtPrinters.h"
#include "support/VirtualEpicCard.h"

#include "EPICIOVirtualCard.h"

#include <QCoreApplication>

#include <array>

using namespace glimrow;
using namespace glimrow::test;
using F = glimrow::FlightDataField;

namespace {

class Epic : public CockpitFixture {
protected:
    Epic() { EpicioVirtual_Reset(); }

    // Starts on these [EPICAnalogs] lines with the card open.
    Cockpit& startWithCard(const QByteArray& lines)
    {
        Cockpit& cockpit = start(withRequiredSections("[EPICAnalogs]\r\n" + lines));
        cockpit.OpenEpicCard();
        EXPECT_TRUE(cockpit.mbEpicOpen());
        return cockpit;
    }
    QString shown(int line) { return grid(CockpitGrid::EPICAnalogs).text(line + 1, 3); }
};

std::array<int, 4> pigeonhole(int number)
{
    return pigeonholeBytes(number);
}

} // namespace

TEST_F(Epic, EachKeywordShowsItsValueAndReachesItsPigeonhole)
{
    set(F::RPM, 87.5);
    set(F::Pitch, 0.1);
    set(F::InternalFuel, 3000.4);
    set(F::ExternalFuel, 2000.2);
    set(F::LightBits, 0x01020304);
    startWithCard("7,Engine,rpm,\r\n1,Lamps,LIGHTBITS,file\r\n14,Pitch,PITCH,\r\n"
                  "12,Fuel total,TOTAL,\r\n24,Nozzle 2,NOZZLE2,kept\r\n8,Blank, RPM,kept too\r\n");
    tick();
    const QStringList expected{"88", "Sending", "-5.7296", "5001", "kept", "kept too"};
    for (int line = 0; line < expected.size(); ++line)
        EXPECT_EQ(shown(line), expected[line]) << "line " << line;
    EXPECT_EQ(pigeonhole(7), (std::array<int, 4>{88, 0, 0, 0}));
    EXPECT_EQ(pigeonhole(1), (std::array<int, 4>{4, 3, 2, 1}));   // lowest byte first
    EXPECT_EQ(pigeonhole(14), (std::array<int, 4>{88, 0, 0, 0})); // 6 x 100 = 600, low byte 88
    EXPECT_EQ(pigeonhole(12), (std::array<int, 4>{50, 0, 0, 0})); // whole hundreds
    EXPECT_EQ(pigeonhole(0), (std::array<int, 4>{9, 0, 0, 0}));   // the reserve step of TOTAL
    EXPECT_EQ(EpicioVirtual_PigeonholeCount(), 5); // unknown keywords reach no pigeonhole
}

TEST_F(Epic, DerivedFuelStepsGoWhereTheirLineSaysElseToAFreePigeonholeZero)
{
    set(F::InternalFuel, 5350.0);
    set(F::ExternalFuel, 7000.0);
    Cockpit& cockpit =
        startWithCard("18,Wing,INTWINGFUEL,\r\n16,Internal,INTERNALFUEL,\r\n12,Total,TOTAL,\r\n");
    tick();
    EXPECT_EQ(shown(0), "1100");
    EXPECT_EQ(pigeonhole(18), (std::array<int, 4>{5, 0, 0, 0})); // the wing step of 53
    EXPECT_EQ(pigeonhole(12), (std::array<int, 4>{123, 0, 0, 0}));
    EXPECT_EQ(pigeonhole(0), (std::array<int, 4>{9, 0, 0, 0})); // no reserve line: pigeonhole 0

    // Pigeonhole 0 taken by a line of its own: the reserve step goes nowhere.
    EpicioVirtual_Reset();
    writeConfig(withRequiredSections("[EPICAnalogs]\r\n0,Engine,RPM,\r\n12,Total,TOTAL,\r\n"));
    ASSERT_TRUE(cockpit.ReloadConfiguration());
    set(F::RPM, 87.0);
    tick();
    EXPECT_EQ(pigeonhole(0), (std::array<int, 4>{87, 0, 0, 0}));

    // Taken by a derived step's own line: the other step, sent after it, does not write over
    // it there.
    for (const auto& [lines, bytes] :
         {std::pair{"0,Reserve,INTRESFUEL,\r\n12,Total,TOTAL,\r\n16,Internal,INTERNALFUEL,\r\n", 9},
          std::pair{"0,Wing,INTWINGFUEL,\r\n16,Internal,INTERNALFUEL,\r\n12,Total,TOTAL,\r\n",
                    5}}) {
        EpicioVirtual_Reset();
        writeConfig(withRequiredSections("[EPICAnalogs]\r\n" + QByteArray(lines)));
        ASSERT_TRUE(cockpit.ReloadConfiguration());
        tick();
        EXPECT_EQ(pigeonhole(0), (std::array<int, 4>{bytes, 0, 0, 0})) << lines;
    }
}

TEST_F(Epic, UnreadableLinesAndScreenUpdates)
{
    set(F::KIAS, 250.4);
    set(F::GS, 3.0);
    Cockpit& cockpit = startWithCard("abc,Airspeed,KIAS,\r\n22,G,GS,\r\n");
    tick(); // the line without a pigeonhole is skipped, the next one is served
    EXPECT_EQ(shown(0), "");
    EXPECT_EQ(shown(1), "3");
    EXPECT_EQ(pigeonhole(22), (std::array<int, 4>{3, 0, 0, 0}));
    EXPECT_EQ(EpicioVirtual_PigeonholeCount(), 1);

    // Screen updates off: the values reach the card, the grid keeps what it showed.
    cockpit.setNoScreenUpdate(true);
    set(F::GS, 4.0);
    tick();
    EXPECT_EQ(shown(1), "3");
    EXPECT_EQ(pigeonhole(22), (std::array<int, 4>{4, 0, 0, 0}));
}

TEST_F(Epic, OpenEpicNamesAMissingPigrelayOrEveryMissingFunctionInOneMessage)
{
    writeConfig(withRequiredSections({}));
    const auto openWith = [this](const QString& pigrelayFile) {
        CockpitSettings notPigrelay = settings();
        notPigrelay.pigrelayFile = pigrelayFile;
        HeadlessView view;
        Cockpit cockpit(view, notPigrelay);
        EXPECT_TRUE(cockpit.Start());
        cockpit.OpenEpicCard();
        EXPECT_FALSE(cockpit.mbEpicOpen());
        EXPECT_EQ(view.messages.size(), 1);
        return view.messages.value(0);
    };
    // (EPICIO missing makes the same load fail, with the loader's reason naming libEPICIO.so.)
    EXPECT_TRUE(openWith("/nonexistent/libPigrelay.so").contains("could not be loaded"));
    // A library that is not Pigrelay lacks every function.
    const QString lacks = openWith(QCoreApplication::applicationDirPath() + "/libEPICIO.so");
    EXPECT_TRUE(lacks.contains("lacks OpenEpic, CloseEpic, RPMCallRet, RPMPHCallRet, SendRPMPH"));
    EXPECT_TRUE(lacks.endsWith("SendINTWINGPH."));
}

TEST_F(Epic, ALineTestedBeforeTheCardOpensReachesItWhenItDoes)
{
    Cockpit& cockpit = start(withRequiredSections("[EPICAnalogs]\r\n7,Engine,RPM,\r\n"));
    ASSERT_TRUE(cockpit.TestOutput(CockpitGrid::EPICAnalogs, 0));
    EXPECT_EQ(shown(0), "255");
    EXPECT_EQ(pigeonhole(7)[0], -1);
    cockpit.OpenEpicCard();
    EXPECT_EQ(pigeonhole(7), (std::array<int, 4>{255, 0, 0, 0}));
}
