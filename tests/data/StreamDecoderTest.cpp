#include "support/QtPrinters.h"
#include "support/StreamFrames.h"

#include "data/StreamDecoder.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <limits>

using namespace glimrow;

namespace {

using test::streamFrame;

FlightDataCache decoded(const QByteArray& block, FlightDataCache cache = {})
{
    StreamDecoder::decode(block, cache);
    return cache;
}

FlightDataCache primed()
{
    FlightDataCache cache;
    cache.LightBits = 11;
    cache.LightBits2 = 22;
    cache.LightBits3 = 33;
    cache.SpeedBrake = 0.25f;
    cache.VantorAy = true;
    return cache;
}

} // namespace

TEST(StreamDecoder, AFullFrameSetsTheFiveCachedFields)
{
    const FlightDataCache cache =
        decoded(streamFrame({{28, "0.5"}, {32, "12.5"}, {36, "13.5"}, {37, "  7abc"}}));
    EXPECT_EQ(cache.SpeedBrake, 0.5f);
    EXPECT_EQ(cache.LightBits, 12);
    EXPECT_EQ(cache.LightBits2, 14);
    EXPECT_EQ(cache.LightBits3, 7);
    EXPECT_TRUE(cache.VantorAy);

    // An empty field reads as 0; the first character of the block is never examined.
    const FlightDataCache other =
        decoded("X" + streamFrame({{32, ""}, {36, "36000"}}).mid(1), primed());
    EXPECT_EQ(other.LightBits, 0);
    EXPECT_EQ(other.LightBits2, 36000);
}

TEST(StreamDecoder, LightBitsOutsideThirtyTwoBitsKeepTheirValue)
{
    FlightDataCache cache =
        decoded(streamFrame({{32, "4294967295"}, {36, "-1"}, {37, "2147483647.5"}}), primed());
    EXPECT_EQ(cache.LightBits, 11);
    EXPECT_EQ(cache.LightBits2, -1); // all 32 bits set
    EXPECT_EQ(cache.LightBits3, 33);

    cache = decoded(streamFrame({{28, "1E39"}}), primed());
    EXPECT_EQ(cache.SpeedBrake, std::numeric_limits<float>::infinity());
    cache = decoded(streamFrame({{28, "-1E300"}}), primed());
    EXPECT_EQ(cache.SpeedBrake, -std::numeric_limits<float>::infinity());
}

TEST(StreamDecoder, OnlyADigitOneToNineMarksTheServerActive)
{
    for (const char* flag : {"1", "5", "9", "9abc"})
        EXPECT_TRUE(decoded(streamFrame({}, flag)).VantorAy) << flag;
    for (const char* flag : {"0", "A", "-", " ", "", "&"})
        EXPECT_FALSE(decoded(streamFrame({}, flag), primed()).VantorAy) << flag;
}

TEST(StreamDecoder, TwoFramesInOneReadTakeTheFirst)
{
    const QByteArray first = streamFrame({{32, "1"}}, "1");
    const QByteArray second = streamFrame({{32, "2"}}, "0");
    const FlightDataCache cache = decoded(first + second);
    EXPECT_EQ(cache.LightBits, 1);
    EXPECT_TRUE(cache.VantorAy);
}

TEST(StreamDecoder, ShortBlocksLeaveLaterFieldsUnchanged)
{
    // Ends after field 33: field 32 is taken, 36, 37 and the flag stay.
    QByteArray block = "@";
    for (int field = 1; field <= 33; ++field)
        block += (field == 32 ? QByteArray("5") : QByteArray("9")) + '@';
    FlightDataCache cache = decoded(block, primed());
    EXPECT_EQ(cache.LightBits, 5);
    EXPECT_EQ(cache.LightBits2, 22);
    EXPECT_EQ(cache.LightBits3, 33);
    EXPECT_TRUE(cache.VantorAy);

    // No separator at all: nothing wraps round to the block's first characters.
    cache = decoded("1234567", primed());
    EXPECT_EQ(cache.LightBits, 11);
    EXPECT_EQ(cache.SpeedBrake, 0.25f);
    EXPECT_TRUE(cache.VantorAy);

    // An empty block clears the flag only.
    cache = decoded("", primed());
    EXPECT_EQ(cache.LightBits, 11);
    EXPECT_FALSE(cache.VantorAy);
}

// Random bytes are FuzzStreamDecoder's.
TEST(StreamDecoder, ALongBlockDecodesLikeAShortOne)
{
    // A long block (beyond any 16-bit position) decodes like a short one.
    const FlightDataCache cache = decoded(streamFrame({{37, QByteArray(70000, ' ') + "3"}}));
    EXPECT_EQ(cache.LightBits3, 3);
    EXPECT_TRUE(cache.VantorAy);
}
