// A peer that floods the stream with noise: memory stays bounded, and good frames sent
// afterwards decode.

#include "support/CockpitFixture.h"
#include "support/ProcessMemory.h"
#include "support/QtPrinters.h"
#include "support/StreamFrames.h"
#include "support/Waiting.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTcpSocket>

using namespace glimrow;

using StreamFlood = test::CockpitFixture;

TEST_F(StreamFlood, NoiseNeitherGrowsMemoryNorKeepsGoodFramesFromDecoding)
{
    const FlightDataCache& cache = start(withRequiredSections(tcpKeys())).cache();
    ASSERT_TRUE(test::waitFor([this] { return m_stream.hasPendingConnections(); }));
    QTcpSocket* peer = m_stream.nextPendingConnection();

    // 50 MB of random bytes as fast as the program takes them, then a line and a good frame.
    constexpr qint64 kNoiseBytes = 50 * 1024 * 1024;
    qint64 noiseSent = 0;
    QByteArray noise(64 * 1024, '\0');
    QRandomGenerator random(50);
    const auto sendMore = [&] {
        while (noiseSent < kNoiseBytes && peer->bytesToWrite() < noise.size()) {
            random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
            noiseSent += peer->write(noise);
        }
        if (noiseSent >= kNoiseBytes && peer->bytesToWrite() == 0)
            peer->write("\r\n" + test::streamFrame({{32, "4242"}})); // a line end: a frame starts
    };
    QObject::connect(peer, &QTcpSocket::bytesWritten, sendMore);
    const long memoryBefore = test::residentKilobytes();
    long memoryPeak = memoryBefore;
    sendMore();

    QElapsedTimer waited;
    waited.start();
    while (!(noiseSent >= kNoiseBytes && cache.LightBits == 4242) && waited.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        memoryPeak = std::max(memoryPeak, test::residentKilobytes());
    }
    EXPECT_EQ(noiseSent, kNoiseBytes);
    EXPECT_EQ(cache.LightBits, 4242);
    EXPECT_TRUE(cache.VantorAy);
    if (test::kResidentMemoryMeaningful) {
        EXPECT_LT(memoryPeak - memoryBefore, 20 * 1024) << "kB above the start";
    }
}

TEST_F(StreamFlood, InjectedNoiseAndOtherFramingsStillDriveTheLamps)
{
    // LightBits 5 lights the lines of masks 1 and 4, and only those.
    start(withRequiredSections(tcpKeys() + "[PLED64-1]\r\n0,One,1,1\r\n1,Two,2,1\r\n"
                                           "2,Four,4,1\r\n"));
    ASSERT_TRUE(test::waitFor([this] { return m_stream.hasPendingConnections(); }));
    QTcpSocket* peer = m_stream.nextPendingConnection();
    // Each piece is a write of its own, read as it arrives. A stream that loses its place
    // without line ends is connected to again: writes go to the newest connection.
    const auto send = [&](const QByteArray& bytes) {
        if (m_stream.hasPendingConnections())
            peer = m_stream.nextPendingConnection();
        peer->write(bytes);
        peer->waitForBytesWritten(1000);
        QCoreApplication::processEvents();
    };
    QByteArray latest;
    const auto lampsShow = [&](bool one, bool four) {
        return test::waitFor([&] {
            send(latest);
            tick();
            const std::vector<int>& leds = board(10001).leds;
            return (leds[0] > 0) == one && leds[1] == 0 && (leds[2] > 0) == four;
        });
    };
    int round = 0;
    for (const QByteArray& noise :
         {QByteArray(1, '\0'), QByteArray("\xff"), QByteArray(5000, '@')}) {
        for (const char* lineEnd : {"", "\r\n"}) {
            QByteArray spoiled = test::streamFrame({{32, "0"}}) + lineEnd;
            spoiled.insert(40 + ++round, noise);
            send(spoiled);
            latest = test::streamFrame({{32, "5"}}) + lineEnd;
            EXPECT_TRUE(lampsShow(true, true))
                << "noise of " << noise.size() << (*lineEnd ? " with line ends" : "");
            latest = test::streamFrame({{32, "0"}}) + lineEnd;
            ASSERT_TRUE(lampsShow(false, false));
        }
    }
    // A server that writes a frame's leading separator as another character, a frame a line.
    QByteArray other = test::streamFrame({{32, "4"}}) + "\r\n";
    other[0] = 'X';
    send(other + other.first(90));
    latest = other.sliced(90) + other;
    EXPECT_TRUE(lampsShow(false, true));
}
