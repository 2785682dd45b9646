// Lamps on LED-64 boards and interface kits, driven by the cockpit from the light-bit words.

#include "support/CockpitFixture.h"
#include "support/QtPrinters.h"

using namespace glimrow;
using namespace glimrow::test;

namespace {

using Lamps = CockpitFixture;

std::vector<int> firstLeds(const VirtualDevice& board, int count)
{
    return std::vector<int>(board.leds.begin(), board.leds.begin() + count);
}

} // namespace

TEST_F(Lamps, AnySharedBitLightsTheLampAtTheSlidersBrightness)
{
    const QByteArray lines = "0,Either bit,3,1\r\n1,Word two,4,2\r\n2,Selector 0,8,0\r\n"
                             "3,Selector 4,8,4\r\n4,Dark,16,1\r\n";
    set(FlightDataField::LightBits, 2);
    set(FlightDataField::LightBits2, 4);
    set(FlightDataField::LightBits3, 8);
    Cockpit& cockpit =
        start(withRequiredSections("[PLED64-1]\r\n" + lines + "[P01616-1]\r\n" + lines));
    tick();
    EXPECT_EQ(firstLeds(board(10001), 5), (std::vector<int>{75, 75, 75, 75, 0}));
    EXPECT_EQ(grid(CockpitGrid::PLED64_1).text(1, 2), "*");
    EXPECT_EQ(grid(CockpitGrid::PLED64_1).text(5, 2), "");
    EXPECT_TRUE(board(20001).outputs[0]);
    EXPECT_FALSE(board(20001).outputs[4]);

    // The slider is read when the lamps are driven.
    cockpit.setLampBrightness(100);
    tick();
    EXPECT_EQ(board(10001).leds[0], 100);
}

TEST_F(Lamps, ABadLineInTheMiddleLeavesTheLinesBeforeAndAfterItWorking)
{
    set(FlightDataField::LightBits, 1);
    start(withRequiredSections("[PLED64-1]\r\n0,Good,1,1\r\n1,Word not a number,1,one\r\n"
                               "99999,Output out of range,1,1\r\n3,Good again,1,1\r\n"
                               "70,No such LED,1,1\r\n-1,Nor this one,1,1\r\n"
                               "5,After the bad ones,1,1\r\n"));
    tick();
    EXPECT_EQ(firstLeds(board(10001), 6), (std::vector<int>{75, 0, 0, 75, 0, 75}));
    EXPECT_EQ(grid(CockpitGrid::PLED64_1).text(2, 2), "");
    EXPECT_EQ(grid(CockpitGrid::PLED64_1).text(7, 2), "*");
}
