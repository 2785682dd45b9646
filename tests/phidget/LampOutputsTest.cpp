#include "OutputsFixture.h"
#include "support/QtPrinters.h"

#include "phidget/LampOutputs.h"

using namespace glimrow;
using namespace glimrow::test;

namespace {

class Lamps : public Outputs {
protected:
    LampOutputs m_led1{m_grid, BoardSlot(m_devices, BoardKind::LED, 1), m_cache, m_window};
    LampOutputs m_led2{m_grid, BoardSlot(m_devices, BoardKind::LED, 2), m_cache, m_window};
    LampOutputs m_kit1{m_grid, BoardSlot(m_devices, BoardKind::InterfaceKit, 1), m_cache, m_window};
};

} // namespace

TEST_F(Lamps, AnySharedBitLightsTheLampAtTheSlidersBrightness)
{
    attachDefaultBoards();
    const SectionTable table = tableOf({{"0", "Either bit", "3", "1"},
                                        {"1", "Word two", "4", "2"},
                                        {"2", "Selector 0", "8", "0"},
                                        {"3", "Selector 4", "8", "4"},
                                        {"4", "Dark", "16", "1"}});
    m_cache.LightBits = 2;
    m_cache.LightBits2 = 4;
    m_cache.LightBits3 = 8;
    m_led1.SendLamps(table);
    const auto& leds = board(10001).leds;
    EXPECT_EQ(std::vector<int>(leds.begin(), leds.begin() + 5),
              (std::vector<int>{75, 75, 75, 75, 0}));
    EXPECT_EQ(m_grid.text(1, 2), "*");
    EXPECT_EQ(m_grid.text(5, 2), "");
    EXPECT_EQ(m_window.pauses, 1);

    // The slider is read when the lamps are driven; interface kits switch on and off.
    m_window.brightness = 100;
    m_cache.LightBits = 1;
    m_led1.SendLamps(table);
    EXPECT_EQ(board(10001).leds[0], 100);
    m_kit1.SendLamps(table);
    EXPECT_TRUE(board(20001).outputs[0]);
    EXPECT_FALSE(board(20001).outputs[4]);
}

TEST_F(Lamps, WithoutABoardOrScreenUpdatesOnlyTheOtherSideIsServed)
{
    const SectionTable table = tableOf({{"0", "Fire", "32", "1"}});
    m_cache.LightBits = 32;
    m_led2.SendLamps(table);
    EXPECT_EQ(m_grid.text(1, 2), "*");

    attachDefaultBoards();
    m_window.screen = false;
    m_cache.LightBits = 0;
    m_led2.SendLamps(table);
    EXPECT_EQ(m_grid.text(1, 2), "*"); // the grid keeps what it showed
    EXPECT_EQ(board(10002).writes, 1);
}

TEST_F(Lamps, AnUnreadableLineIsSkippedAndAFailingBoardEndsTheProcedure)
{
    attachDefaultBoards();
    m_cache.LightBits = 1;
    const SectionTable table = tableOf({{"0", "Good", "1", "1"},
                                        {"1", "Word not a number", "1", "one"},
                                        {"99999", "Output out of range", "1", "1"},
                                        {"3", "Good again", "1", "1"},
                                        {"70", "No such LED", "1", "1"},
                                        {"5", "After the failure", "1", "1"}});
    EXPECT_THROW(m_led1.SendLamps(table), PhidgetError);
    const auto& leds = board(10001).leds;
    EXPECT_EQ(leds[0], 75);
    EXPECT_EQ(leds[1], 0);
    EXPECT_EQ(leds[3], 75);
    EXPECT_EQ(leds[5], 0);
    EXPECT_EQ(m_grid.text(2, 2), "");
    EXPECT_EQ(m_grid.text(4, 2), "*");
}

TEST_F(Lamps, AllLampsOnLightsEverythingAndShutdownDarkensEverything)
{
    attachDefaultBoards();
    const SectionTable textLeds =
        tableOf({{"0", "a", "FUELFLOW", ""}, {"1", "b", "TOTALIZER", ""}});
    TestAllOutputs(m_devices, m_window, true, false, &textLeds, &textLeds);
    EXPECT_EQ(board(10002).leds, std::vector<int>(64, 75));
    EXPECT_EQ(board(20002).outputs, std::vector<bool>(16, true));
    EXPECT_EQ(board(30001).rows, QStringList({"TextLCD-1 1", "TextLCD-1 2"}));
    EXPECT_EQ(board(30002).rows, QStringList({"TextLCD-2 1", "TextLCD-2 2"}));
    EXPECT_EQ(board(40001).rows, QStringList({"1234", "1234", "", ""}));

    TestAllOutputs(m_devices, m_window, false, false, &textLeds, nullptr);
    EXPECT_EQ(board(10001).leds, std::vector<int>(64, 0));
    EXPECT_EQ(board(30001).rows, QStringList({"", ""}));
    EXPECT_TRUE(board(30001).backlight); // only shutdown switches the dimmers
    EXPECT_EQ(board(40002).rows, QStringList({"1234", "1234", "", ""}));

    // A failing board is skipped call by call; the rest still go dark.
    m_hardware.setFailing(10001, true);
    TestAllOutputs(m_devices, m_window, false, true, &textLeds, &textLeds);
    EXPECT_FALSE(board(30002).backlight);
    EXPECT_EQ(board(40001).brightness, 0);
    EXPECT_EQ(board(40002).rows, QStringList({"", "", "", ""}));
}
