#include "support/QtPrinters.h"
#include "support/StreamFrames.h"

#include "data/StreamDecoder.h"
#include "data/StreamFramer.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>

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

namespace {

// The frames a framer gives for `pieces` fed one after the other.
QList<QByteArray> framesOf(const QList<QByteArray>& pieces, StreamFramer& framer)
{
    QList<QByteArray> frames;
    for (const QByteArray& piece : pieces) {
        if (std::optional<QByteArray> frame = framer.take(piece))
            frames += *frame;
    }
    return frames;
}

} // namespace

TEST(StreamFramer, AFrameSplitAnywhereIsTakenWholeOnceItsFlagArrives)
{
    const QByteArray before = streamFrame({{32, "7"}}) + "\r\n";
    const QByteArray frame = streamFrame({{28, "0.5"}, {32, "0"}, {37, "12"}});
    for (qsizetype cut = 0; cut <= frame.size(); ++cut) {
        StreamFramer framer;
        const QList<QByteArray> frames =
            framesOf({before, frame.first(cut), frame.sliced(cut) + "\r\n"}, framer);
        ASSERT_EQ(frames.size(), 2) << "cut at " << cut;
        EXPECT_EQ(frames[0], before.chopped(2));
        EXPECT_EQ(frames[1], frame) << "cut at " << cut;
    }
}

TEST(StreamFramer, OfSeveralWholeFramesTheNewestIsTaken)
{
    const QByteArray one = streamFrame({{32, "1"}});
    const QByteArray two = streamFrame({{32, "2"}}, "");
    const QByteArray three = streamFrame({{32, "3"}}, "0");
    StreamFramer framer;
    // An empty field 81 ends where the next frame begins; a trailing half frame waits.
    EXPECT_EQ(framesOf({one + two}, framer), QList<QByteArray>{one});
    EXPECT_EQ(framesOf({three + "\n" + one + two + three + one.first(100)}, framer),
              QList<QByteArray>{three});
    EXPECT_EQ(framesOf({one.sliced(100)}, framer), QList<QByteArray>{one});
}

TEST(StreamFramer, JunkAndEndlessFieldsNeverMakeAFrame)
{
    StreamFramer framer;
    QByteArray junk = "@@@@ not a frame @@";
    for (int i = 0; i < 100; ++i)
        junk += "\x01@@@\xff@@";
    EXPECT_TRUE(framesOf({junk, junk + "\x01", streamFrame().first(100)}, framer).isEmpty());
    // Noise inside a frame ends it: the next "@" starts a frame again.
    EXPECT_EQ(framesOf({"\x02" + streamFrame({{32, "9"}})}, framer),
              QList<QByteArray>{streamFrame({{32, "9"}})});

    // A field that never ends: what waits stays bounded and the loss is told.
    const QByteArray endless(StreamFramer::kMaxWaitingBytes / 4, '7');
    EXPECT_TRUE(framesOf({"@", endless, endless, endless, endless, endless}, framer).isEmpty());
    EXPECT_GE(framer.takeDroppedBytes(), StreamFramer::kMaxWaitingBytes);
    EXPECT_EQ(framer.takeDroppedBytes(), 0);
    EXPECT_EQ(framesOf({"\n" + streamFrame()}, framer), QList<QByteArray>{streamFrame()});
}

namespace {

// A frame as a real server writes it: every field a number of its own, some of several
// characters; or, as a quiet server writes it, every field "0".
QByteArray serverFrame(int lightBits, bool quiet)
{
    std::map<int, QByteArray> fields;
    for (int field = 1; field <= 80; ++field)
        fields[field] = quiet ? QByteArray("0") : QByteArray::number(field * 0.25);
    fields[StreamDecoder::kLightBitsField] = QByteArray::number(lightBits);
    return streamFrame(fields);
}

} // namespace

TEST(StreamFramer, NoiseCostsOnlyTheFramesItTouches)
{
    const QList<QByteArray> noises = {QByteArray(1, '\0'), "\xff", QByteArray(5000, '@')};
    for (const bool quiet : {false, true}) {
        for (const QByteArray lineEnd : {"", "\r\n"}) {
            const QByteArray before = serverFrame(3, quiet) + lineEnd;
            const QByteArray after = serverFrame(5, quiet) + lineEnd;
            for (const QByteArray& noise : noises) {
                for (qsizetype at = 0; at <= before.size(); at += noise.size() > 1 ? 7 : 1) {
                    // One read per write, as a server writes a frame at a time.
                    StreamFramer framer;
                    FlightDataCache cache;
                    QList<std::int32_t> shown;
                    for (const QByteArray& read :
                         {before, QByteArray(before).insert(at, noise), after, after}) {
                        if (const std::optional<QByteArray> frame = framer.take(read)) {
                            StreamDecoder::decode(*frame, cache);
                            shown << cache.LightBits;
                        }
                    }
                    const auto where = [&] {
                        return testing::Message() << "noise of " << noise.size() << " at " << at
                                                  << (quiet ? " (quiet)" : "")
                                                  << (lineEnd.isEmpty() ? "" : " (line ends)");
                    };
                    EXPECT_EQ(cache.LightBits, 5) << where();
                    EXPECT_TRUE(cache.VantorAy) << where();
                    for (std::int32_t lightBits : shown)
                        ASSERT_TRUE(lightBits == 3 || lightBits == 5) << lightBits << where();
                }
            }
        }
    }
}

TEST(StreamFramer, AFrameMayOpenWithAnyCharacterWhereAFrameSurelyStarts)
{
    // Some servers write a frame's leading separator as another character; a line end, or a
    // write of its own, says where such a frame starts.
    QByteArray frame = streamFrame({{32, "5"}});
    frame[0] = 'X';
    for (qsizetype cut = 0; cut <= frame.size() + 2; ++cut) {
        StreamFramer framer;
        const QByteArray lines = frame + "\r\n" + frame + "\r\n";
        const QList<QByteArray> frames =
            framesOf({lines.first(frame.size() + cut), lines.sliced(frame.size() + cut)}, framer);
        ASSERT_FALSE(frames.isEmpty()) << "cut at " << cut;
        EXPECT_EQ(frames.back(), frame) << "cut at " << cut;
    }
    StreamFramer framer;
    EXPECT_EQ(framesOf({frame, frame, frame.first(30), frame.sliced(30)}, framer),
              (QList<QByteArray>{frame, frame, frame}));
    // Elsewhere a frame still starts at "@".
    EXPECT_EQ(framesOf({streamFrame() + "X" + streamFrame({{32, "5"}})}, framer),
              QList<QByteArray>{streamFrame({{32, "5"}})});
}
