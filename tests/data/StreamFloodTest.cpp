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

namespace {

// AddressSanitizer keeps freed memory in quarantine, so resident memory says nothing there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kResidentMemoryMeaningful = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kResidentMemoryMeaningful = false;
#else
constexpr bool kResidentMemoryMeaningful = true;
#endif
#else
constexpr bool kResidentMemoryMeaningful = true;
#endif

} // namespace

using StreamFlood = test::CockpitFixture;

TEST_F(StreamFlood, NoiseNeitherGrowsMemoryNorKeepsGoodFramesFromDecoding)
{
    const FlightDataCache& cache = start(withRequiredSections(tcpKeys())).cache();
    ASSERT_TRUE(test::waitFor([this] { return m_stream.hasPendingConnections(); }));
    QTcpSocket* peer = m_stream.nextPendingConnection();

    // 50 MB of random bytes as fast as the program takes them, then good frames.
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
            peer->write(test::streamFrame({{32, "4242"}}));
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
    if (kResidentMemoryMeaningful) {
        EXPECT_LT(memoryPeak - memoryBefore, 20 * 1024) << "kB above the start";
    }
}
