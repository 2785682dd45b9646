// The Flight Data tab's contents: which bits are on and which lamp lines follow them, the
// values as they came, and the stream's last frame made readable.

#include "cockpit/FlightDataPanel.h"

#include <gtest/gtest.h>

using namespace glimrow;

namespace {

SectionTable lampLines(const std::vector<SectionTable::Row>& rows)
{
    SectionTable table;
    int fileLine = 10;
    for (const SectionTable::Row& row : rows)
        table.appendRow(row, fileLine++);
    return table;
}

} // namespace

TEST(FlightDataPanel, EachBitSaysWhetherItIsOnAndWhichLampLinesFollowIt)
{
    ConfigTables tables;
    tables.maPLED64_1 = lampLines({{"0", "Master Caution", "1", "1"},
                                   {"1", "TF Fail", "2", "1"},
                                   {"2", "OBS", "4", "1"},
                                   {"3", "Gear", "4", "2"}, // the same mask, another word
                                   {"4", "unreadable", "1e12", "1"}});
    tables.maP01616_1 = lampLines({{"7", "Both", "5", "1"}});
    FlightDataCache cache;
    cache.LightBits = 5;
    cache.LightBits3 = std::int32_t(0x80000000u);

    FlightDataPanel panel;
    const FlightDataShown shown = panel.describe(cache, tables, false);
    ASSERT_EQ(shown.bits.size(), 96);
    const LightBit& bit0 = shown.bits[0];
    EXPECT_EQ(bit0.word, "LightBits");
    EXPECT_TRUE(bit0.on);
    EXPECT_EQ(bit0.mask, 1);
    EXPECT_EQ(bit0.lamps, QStringList({"PLED64-1 line 10: Master Caution (LED 0)",
                                       "P01616-1 line 10: Both (output 7)"}));
    EXPECT_FALSE(shown.bits[1].on);
    EXPECT_EQ(shown.bits[1].lamps, QStringList({"PLED64-1 line 11: TF Fail (LED 1)"}));
    EXPECT_TRUE(shown.bits[2].on);
    EXPECT_EQ(shown.bits[2].lamps,
              QStringList({"PLED64-1 line 12: OBS (LED 2)", "P01616-1 line 10: Both (output 7)"}));
    EXPECT_EQ(shown.bits[32 + 2].lamps, QStringList({"PLED64-1 line 13: Gear (LED 3)"}));
    EXPECT_FALSE(shown.bits[32 + 2].on);
    const LightBit& top = shown.bits[95];
    EXPECT_EQ(top.word, "LightBits3");
    EXPECT_EQ(top.bit, 31);
    EXPECT_EQ(top.mask, std::numeric_limits<std::int32_t>::min());
    EXPECT_TRUE(top.on);
}

TEST(FlightDataPanel, ValuesAreShownAsTheyCameWithTheirTypesAndTheLastFrameReadable)
{
    FlightDataCache cache;
    cache.LightBits = 5;
    cache.VantorAy = true;
    FlightDataPanel panel;
    // An escape before a hex digit is closed, so that "\x01" then "3" is not read as "\x013".
    panel.takeFrame(QByteArray("@0@5\x1b[2J@1\r\n\xff\x01"
                               "3"));
    FlightDataShown shown = panel.describe(cache, {}, false);
    ASSERT_EQ(shown.values.size(), 5);
    EXPECT_EQ(shown.values[1].name, "LightBits");
    EXPECT_EQ(shown.values[1].type, "stream field 32");
    EXPECT_EQ(shown.values[1].value, "5");
    EXPECT_EQ(shown.values[4].value, "true");
    EXPECT_EQ(shown.lastFrame, "@0@5\\x1B[2J@1\\x0D\\x0A\\xFF\\x{01}3");
    EXPECT_GT(shown.arrivalsPerSecond, 0);

    panel.takeSnapshot({{"LightBits", 5},
                        {"GS", 1.5},
                        {"DEDLines", QString("NAV\x1b"
                                             "C\x7f")},
                        {"VantorAy", true}});
    shown = panel.describe(cache, {}, true);
    ASSERT_EQ(shown.values.size(), 4);
    const auto value = [&shown](const QString& name) {
        for (const FlightDataValue& shownValue : shown.values) {
            if (shownValue.name == name)
                return shownValue.type + " " + shownValue.value;
        }
        return QString("missing");
    };
    EXPECT_EQ(value("LightBits"), "i 5");
    EXPECT_EQ(value("GS"), "d 1.5");
    EXPECT_EQ(value("DEDLines"), "s \"NAV\\x{1B}C\\x7F\"");
    EXPECT_EQ(value("VantorAy"), "b true");
    EXPECT_TRUE(shown.lastFrame.isEmpty());
}
