#include "support/QtPrinters.h"
#include "support/StreamFrames.h"

#include "data/StreamDecoder.h"
#include "data/StreamFramer.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>
#include <QRandomGenerator>

#include <algorithm>
#include <limits>
#include <map>
#include <vector>

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

TEST(StreamFramer, JunkLosesThePlaceUntilALineEndOrANewConnection)
{
    StreamFramer framer;
    // A server that leaves empty the fields it does not fill writes frames, not junk.
    std::map<int, QByteArray> sparse;
    for (int field = 1; field <= 80; ++field)
        sparse[field] = field == 32 ? "7" : "";
    EXPECT_EQ(framesOf({streamFrame(sparse) + streamFrame(sparse), streamFrame(sparse)}, framer),
              (QList<QByteArray>{streamFrame(sparse), streamFrame(sparse)}));
    framer.clear();

    QByteArray junk = "@@@@ not a frame @@";
    for (int i = 0; i < 100; ++i)
        junk += "\x01@@@\xff@@";
    EXPECT_TRUE(framesOf({junk, junk + "\x01", streamFrame()}, framer).isEmpty());
    EXPECT_TRUE(framer.needsNewConnection());
    EXPECT_EQ(framesOf({"\n" + streamFrame({{32, "9"}})}, framer),
              QList<QByteArray>{streamFrame({{32, "9"}})});
    EXPECT_FALSE(framer.needsNewConnection());

    // A field that never ends: what waits stays bounded and the loss is told.
    const QByteArray endless(StreamFramer::kMaxWaitingBytes / 4, '7');
    EXPECT_TRUE(framesOf({"\n@", endless, endless, endless, endless, endless}, framer).isEmpty());
    EXPECT_GE(framer.takeDroppedBytes(), StreamFramer::kMaxWaitingBytes);
    EXPECT_EQ(framer.takeDroppedBytes(), 0);
    EXPECT_EQ(framesOf({"\n" + streamFrame()}, framer), QList<QByteArray>{streamFrame()});

    // Field 81 holding what no number holds: where the next frame starts is not known.
    framer.clear();
    EXPECT_EQ(framesOf({streamFrame() + "X" + streamFrame({{32, "5"}})}, framer),
              QList<QByteArray>{streamFrame()});
    EXPECT_TRUE(framer.needsNewConnection());
    framer.clear();
    EXPECT_EQ(framesOf({streamFrame({{32, "5"}})}, framer),
              QList<QByteArray>{streamFrame({{32, "5"}})});
}

namespace {

// A stream as a real server writes it: frame i has LightBits 1000 + i and every other field a
// number no LightBits has, so a frame read from the wrong fields shows at once.
struct SentStream {
    QByteArray bytes;
    QList<qsizetype> frameEnds; // after each frame's flag: where it is complete
};

SentStream sentStream(int frames, const QByteArray& flag, const QByteArray& lineEnd,
                      const QByteArray& noise, QRandomGenerator& random)
{
    SentStream sent;
    for (int i = 0; i < frames; ++i) {
        std::map<int, QByteArray> fields;
        for (int field = 1; field <= 80; ++field)
            fields[field] = QByteArray::number(5000 + field);
        fields[StreamDecoder::kLightBitsField] = QByteArray::number(1000 + i);
        QByteArray frame = streamFrame(fields, flag);
        // Noise in every third frame but the last, anywhere in it, its flag included.
        if (!noise.isEmpty() && i % 3 == 1 && i + 1 < frames)
            frame.insert(qsizetype(random.bounded(int(frame.size()) + 1)), noise);
        sent.bytes += frame;
        sent.frameEnds << sent.bytes.size() - flag.size() + 1;
        sent.bytes += lineEnd;
    }
    return sent;
}

} // namespace

TEST(StreamFramer, ReadsCutAnywhereNeverGiveAFrameFromTheWrongFields)
{
    // Each frame's LightBits shows by the end of the frame after it (a frame spoiled by noise
    // is not shown), and no frame is taken from the wrong fields, whatever the cuts.
    constexpr int kFrames = 5;
    QRandomGenerator random(81);
    int segmentations = 0;
    for (const QByteArray& flag : {QByteArray("1"), QByteArray("1.0")}) {
        for (const QByteArray lineEnd : {"", "\r\n"}) {
            for (const QByteArray& noise :
                 {QByteArray(), QByteArray(1, '\0'), QByteArray("\xff")}) {
                const SentStream everyCut = sentStream(kFrames, flag, lineEnd, noise, random);
                for (int round = 0; round < everyCut.bytes.size() + 1000; ++round) {
                    // One read cut at every position in turn, then random cuts.
                    const bool randomCuts = round >= everyCut.bytes.size();
                    const SentStream sent =
                        randomCuts ? sentStream(kFrames, flag, lineEnd, noise, random) : everyCut;
                    StreamFramer framer;
                    FlightDataCache cache;
                    QList<qsizetype> cuts;
                    if (!randomCuts) {
                        cuts << round;
                    } else {
                        ++segmentations;
                        for (int cut = random.bounded(1, 12); cut > 0; --cut)
                            cuts << qsizetype(random.bounded(int(sent.bytes.size())));
                    }
                    cuts << sent.bytes.size();
                    std::sort(cuts.begin(), cuts.end());
                    qsizetype at = 0;
                    std::int32_t shown = 0;
                    for (const qsizetype cut : cuts) {
                        if (const auto frame = framer.take(sent.bytes.sliced(at, cut - at))) {
                            StreamDecoder::decode(*frame, cache);
                            ASSERT_TRUE(cache.LightBits >= shown &&
                                        cache.LightBits < 1000 + kFrames)
                                << cache.LightBits << " after " << shown << "; cuts "
                                << testing::PrintToString(
                                       std::vector<qsizetype>(cuts.begin(), cuts.end()));
                            ASSERT_TRUE(cache.VantorAy);
                            shown = cache.LightBits;
                        }
                        at = cut;
                        const qsizetype complete =
                            std::upper_bound(sent.frameEnds.begin(), sent.frameEnds.end(), at) -
                            sent.frameEnds.begin();
                        if (complete >= 2) {
                            ASSERT_GE(shown, 1000 + complete - 2)
                                << "cut at " << at << (lineEnd.isEmpty() ? "" : ", line ends")
                                << ", flag " << flag.toStdString() << ", noise " << noise.size();
                        }
                    }
                    ASSERT_EQ(shown, 1000 + kFrames - 1);
                }
            }
        }
    }
    EXPECT_GE(segmentations, 10000);
}

TEST(StreamFramer, AFrameMayOpenWithAnyCharacterWhereAFrameSurelyStarts)
{
    // Some servers write a frame's leading separator as another character; a line end, or the
    // start of the connection, says where such a frame starts, and the frames after it open the
    // same way.
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
    EXPECT_EQ(framesOf({frame + frame + frame.first(30), frame.sliced(30)}, framer),
              (QList<QByteArray>{frame, frame}));
}
