// What glimrow --record writes, played back by vantor-sim's replay: every byte and value as it
// arrived, a size limit that stops the recording, and recordings that are not what they should
// be, each said with where.

#include "Replay.h"
#include "data/FlightDataRecorder.h"

#include "support/ProcessMemory.h"
#include "support/QtPrinters.h"
#include "support/Waiting.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace glimrow;
using glimrow::sim::Replay;
using glimrow::test::waitFor;

namespace {

void writeFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

const QByteArray kHeader = R"({"format":"glimrow-recording","version":1,"connection":"tcp"})"
                           "\n";

// A recording: the header, then each line ended by a line break.
QByteArray recordingOf(std::initializer_list<QByteArray> lines)
{
    QByteArray text = kHeader;
    for (const QByteArray& line : lines)
        text += line + '\n';
    return text;
}

} // namespace

TEST(Recording, PlaysBackEveryByteAndValueAsTheyArrivedAndStopsAtItsLimit)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("flight.jsonl");
    const QByteArray arrived("@0@5@\x00\x1b\xff@1\r\n", 11);
    {
        FlightDataRecorder recorder(path, FlightDataRecorder::kDefaultLimitBytes);
        ASSERT_EQ(recorder.open(), "");
        recorder.begin("glimrow test", "tcp");
        recorder.recordStreamRead(arrived);
        recorder.recordSnapshot({{"LightBits", 5},
                                 {"GS", 1.5},
                                 {"Pitch", std::nan("")},
                                 {"DEDLines", QString("NAV \u00e9")},
                                 {"ChaffCount", qlonglong(30)},
                                 {"VantorAy", true}});
    } // written in full when the recorder goes

    Replay replay(path, 1000, false);
    ASSERT_EQ(replay.open(), "");
    QSignalSpy sent(&replay, &Replay::streamBytes);
    QSignalSpy ended(&replay, &Replay::reachedEnd);
    replay.start();
    ASSERT_TRUE(waitFor([&] { return !ended.isEmpty(); }));
    EXPECT_EQ(ended[0][0].toLongLong(), 2);
    EXPECT_EQ(ended[0][1].toInt(), 0);
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0][0].toByteArray(), arrived);
    const QVariantMap record = replay.record();
    EXPECT_EQ(record["LightBits"], QVariant(5));
    EXPECT_EQ(record["GS"], QVariant(1.5));
    EXPECT_TRUE(std::isnan(record["Pitch"].toDouble()));
    EXPECT_EQ(record["DEDLines"], QVariant(QString("NAV \u00e9")));
    EXPECT_EQ(record["ChaffCount"], QVariant(qlonglong(30)));
    EXPECT_EQ(record["VantorAy"], QVariant(true));
    // The snapshot reaches the stream as a frame of the values it holds.
    EXPECT_TRUE(sent[1][0].toByteArray().endsWith("@1")) << sent[1][0].toByteArray().toStdString();

    // At its limit the recording stops, says so once, and the file keeps whole lines.
    auto small = std::make_unique<FlightDataRecorder>(path, 400, true);
    ASSERT_EQ(small->open(), "");
    QSignalSpy notices(small.get(), &FlightDataRecorder::notice);
    small->begin("glimrow test", "tcp");
    for (int arrival = 0; arrival < 20; ++arrival)
        small->recordStreamRead(QByteArray(40, '@'));
    ASSERT_TRUE(waitFor([&] { return !notices.isEmpty(); }));
    small->recordStreamRead("more");
    small.reset(); // everything queued is written (or not) by now
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0][0].toString(),
              "Recording stopped: " + path + " reached its limit of 0.0004 MB");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    EXPECT_LE(written.size(), 400);
    EXPECT_TRUE(written.endsWith("}\n")) << written.toStdString();
    EXPECT_GT(written.count('\n'), 2);

    // What replay could not read is never written: a long read of the stream goes in pieces,
    // an over-long snapshot is left out and said.
    const QByteArray longRead = QByteArray(20 * 1024 * 1024, 'a') + "@1";
    {
        FlightDataRecorder recorder(path, FlightDataRecorder::kDefaultLimitBytes, true);
        QSignalSpy said(&recorder, &FlightDataRecorder::notice);
        ASSERT_EQ(recorder.open(), "");
        recorder.begin("glimrow test", "tcp");
        recorder.recordStreamRead(longRead);
        recorder.recordSnapshot({{"DEDLines", QString(17 * 1024 * 1024, 'x')}});
        ASSERT_EQ(said.size(), 1);
        EXPECT_EQ(said[0][0].toString(), "Recording: a snapshot of 17.8 MB is left out of " + path +
                                             ": replay reads lines of up to 16 MB");
    }
    Replay longReplay(path, 1000, false);
    ASSERT_EQ(longReplay.open(), "");
    QSignalSpy longSent(&longReplay, &Replay::streamBytes);
    QSignalSpy longEnded(&longReplay, &Replay::reachedEnd);
    longReplay.start();
    // Tens of megabytes to read and parse: slow under emulation, so the wait is long.
    constexpr int kLongReplayMs = 120000;
    ASSERT_TRUE(waitFor([&] { return !longEnded.isEmpty(); }, kLongReplayMs));
    EXPECT_EQ(longEnded[0][1].toInt(), 0);
    QByteArray replayed;
    for (const QList<QVariant>& piece : longSent)
        replayed += piece[0].toByteArray();
    EXPECT_TRUE(replayed == longRead);

    FlightDataRecorder nowhere(dir.filePath("no/such/folder/flight.jsonl"), 400);
    EXPECT_TRUE(nowhere.open().startsWith("--record: cannot write " + dir.filePath("no/such")));
}

TEST(Recording, NeverHarmsWhatIsOnDiskNorHoldsTheProgramsEnd)
{
    QTemporaryDir dir;
    const QString yesterday = dir.filePath("yesterday.jsonl");
    writeFile(yesterday, kHeader);
    const auto kept = [&] {
        QFile file(yesterday);
        return file.open(QIODevice::ReadOnly) && file.readAll() == kHeader;
    };
    FlightDataRecorder refused(yesterday, 1000);
    EXPECT_EQ(refused.open(),
              "--record: " + yesterday + " exists; give --record-replace to write over it");
    // A planted link is replaced, never written through.
    const QString link = dir.filePath("link.jsonl");
    ASSERT_EQ(::symlink(qPrintable(yesterday), qPrintable(link)), 0);
    {
        FlightDataRecorder throughLink(link, 1000, true);
        ASSERT_EQ(throughLink.open(), "");
        throughLink.begin("glimrow test", "tcp");
    }
    EXPECT_TRUE(kept());
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo(link).size() > 0);

    // A FIFO whose reader never reads: what waits is bounded in real bytes, and the end gives
    // up on it rather than wait for ever. Old snapshots are never shared with new ones.
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(qPrintable(fifo), 0600), 0);
    const int reader = ::open(qPrintable(fifo), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    auto stalled = std::make_unique<FlightDataRecorder>(fifo, 1000 * 1000 * 1000);
    ASSERT_EQ(stalled->open(), "");
    QSignalSpy said(stalled.get(), &FlightDataRecorder::notice);
    const long before = test::residentKilobytes();
    for (int snapshot = 0; snapshot < 300; ++snapshot) {
        stalled->recordSnapshot({{"DEDLines", QString(512 * 1024, QChar('A' + snapshot % 26))}});
        QCoreApplication::processEvents(); // the batches are handed over
    }
    if (test::kResidentMemoryMeaningful) {
        EXPECT_LT(test::residentKilobytes() - before, 64 * 1024);
    }
    stalled->finish();
    ASSERT_EQ(said.size(), 2);
    EXPECT_EQ(said[0][0].toString(),
              "Recording: " + fifo + " does not keep up; arrivals are left out until it does");
    EXPECT_TRUE(
        said[1][0].toString().startsWith("Recording: " + fifo + " took nothing for 3 s; the last "))
        << said[1][0].toString().toStdString();

    // A reader that goes: the system's words, and the program runs on.
    ::close(reader);
    const QString pipe = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(qPrintable(pipe), 0600), 0);
    const int goingReader = ::open(qPrintable(pipe), O_RDONLY | O_NONBLOCK);
    FlightDataRecorder broken(pipe, 1000 * 1000);
    QSignalSpy brokenSaid(&broken, &FlightDataRecorder::notice);
    ASSERT_EQ(broken.open(), "");
    broken.begin("glimrow test", "tcp");
    char header[16];
    ASSERT_TRUE(waitFor([&] { return ::read(goingReader, header, sizeof header) > 0; }));
    ::close(goingReader);
    broken.recordStreamRead("@1@");
    ASSERT_TRUE(brokenSaid.wait());
    EXPECT_EQ(brokenSaid[0][0].toString(),
              "Recording stopped: cannot write " + pipe + ": Broken pipe");
}

TEST(Recording, ABadRecordingIsSaidWithItsLineNeverACrashOrAHang)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.jsonl");
    const auto opening = [&](const QByteArray& text) {
        writeFile(path, text);
        Replay replay(path, 1, false);
        return replay.open();
    };
    EXPECT_EQ(opening(""), "line 1: not a Glimrow recording (the file is empty)");
    EXPECT_TRUE(opening("\x7f\x45\x4c\x46\x02\x01\x00\x00\xff\xfe junk")
                    .startsWith("line 1: not a Glimrow recording"));
    EXPECT_EQ(opening(R"({"format":"glimrow-recording","version":2})"),
              "line 1: a recording of version 2; this program reads version 1");

    // A file of 2 GB (sparse) without a line end: refused without reading it all.
    {
        QFile huge(path);
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_TRUE(huge.resize(qint64(2) * 1024 * 1024 * 1024));
    }
    Replay hugeReplay(path, 1, false);
    EXPECT_EQ(hugeReplay.open(), "line 1: not a Glimrow recording (its first line is too long)");

    // Damaged lines among good ones: each is said with its number, the good ones play.
    writeFile(path,
              recordingOf({R"({"t":0,"stream":"@1"})", "\x01\x02\xff binary junk",
                           R"({"t":1,"stream":"\u0100"})", R"({"t":2})",
                           R"({"t":3,"object":{"LightBits":"five"},"types":{"LightBits":"i"}})",
                           R"({"t":4,"stream":"@2"})"}) +
                  R"({"t":5,"stre)");
    Replay replay(path, 1000, false);
    ASSERT_EQ(replay.open(), "");
    QSignalSpy damaged(&replay, &Replay::damagedLine);
    QSignalSpy sent(&replay, &Replay::streamBytes);
    QSignalSpy ended(&replay, &Replay::reachedEnd);
    replay.start();
    ASSERT_TRUE(waitFor([&] { return !ended.isEmpty(); }));
    QStringList said;
    for (const QList<QVariant>& line : damaged)
        said << QString::number(line[0].toLongLong()) + ": " + line[1].toString();
    ASSERT_EQ(said.size(), 5) << said.join('\n').toStdString();
    EXPECT_TRUE(said[0].startsWith("3: not JSON: ")) << said[0].toStdString();
    EXPECT_EQ(said[1], "4: \"stream\" holds a character above U+00FF");
    EXPECT_EQ(said[2], "5: neither \"stream\" nor \"object\"");
    EXPECT_EQ(said[3], "6: LightBits is not of its type \"i\"");
    EXPECT_TRUE(said[4].startsWith("8: not JSON: ")) << said[4].toStdString();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[1][0].toByteArray(), "@2");

    // A line over the limit is said and passed over; the lines after it still play.
    writeFile(path, recordingOf({R"({"t":0,"stream":"@1"})",
                                 R"({"t":1,"stream":")" + QByteArray(17 * 1024 * 1024, 'x') + "\"}",
                                 R"({"t":2,"stream":"@2"})", R"({"t":3,"stream":"@3"})"}));
    Replay skipping(path, 1000, false);
    ASSERT_EQ(skipping.open(), "");
    QSignalSpy skippingSent(&skipping, &Replay::streamBytes);
    QSignalSpy skippingEnded(&skipping, &Replay::reachedEnd);
    QSignalSpy skipped(&skipping, &Replay::damagedLine);
    skipping.start();
    ASSERT_TRUE(waitFor([&] { return !skippingEnded.isEmpty(); }, 120000));
    EXPECT_EQ(skippingSent.size(), 3);
    ASSERT_EQ(skipped.size(), 1);
    EXPECT_EQ(skipped[0][0].toLongLong(), 3);

    // A hole of 32 MB is read a piece per turn of the event loop; a long wait is said.
    writeFile(path, recordingOf({R"({"t":0,"stream":"@1"})"}));
    {
        QFile holed(path);
        ASSERT_TRUE(holed.open(QIODevice::Append));
        ASSERT_TRUE(holed.resize(holed.size() + 32 * 1024 * 1024));
        ASSERT_TRUE(holed.seek(holed.size()));
        holed.write("\n"
                    R"({"t":120000,"stream":"@2"})"
                    "\n");
    }
    Replay holedReplay(path, 1, false);
    ASSERT_EQ(holedReplay.open(), "");
    QSignalSpy hole(&holedReplay, &Replay::damagedLine);
    QSignalSpy waiting(&holedReplay, &Replay::longWait);
    int turns = 0;
    QTimer turning;
    QObject::connect(&turning, &QTimer::timeout, [&] { ++turns; });
    turning.start(0);
    holedReplay.start();
    ASSERT_TRUE(waiting.wait(120000));
    EXPECT_EQ(hole.size(), 1);
    EXPECT_GT(turns, 5);
    EXPECT_EQ(waiting[0][0].toLongLong(), 4);
    EXPECT_GT(waiting[0][1].toLongLong(), 100000);

    // Looping a recording whose arrivals share one time: each pass takes a frame's time at
    // least, not a core.
    writeFile(path, recordingOf({R"({"t":0,"stream":"@1"})"}));
    Replay looping(path, 1, true);
    ASSERT_EQ(looping.open(), "");
    QSignalSpy passes(&looping, &Replay::reachedEnd);
    QElapsedTimer clock;
    clock.start();
    looping.start();
    ASSERT_TRUE(waitFor([&] { return passes.size() >= 5; }));
    EXPECT_GE(clock.elapsed(), 4 * Replay::kShortestPassMs - 4);
}
