// A peer that floods the stream with noise: memory stays bounded, the window keeps handling
// events, and good frames sent afterwards decode.

#include "support/ProcessMemory.h"
#include "support/QtPrinters.h"

#include "data/ConnectionManager.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

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

class View : public ConnectionView {
public:
    QString port;
    QString serverAddress() const override { return QStringLiteral("127.0.0.1"); }
    QString serverPort() const override { return port; }
    void setServerFieldsEnabled(bool) override {}
    void setTcpCaptionBold(bool) override {}
    void showConnectType(int) override {}
    bool isDcomSelected() const override { return false; }
    void showServerState(const QString&) override {}
};

bool writeAll(int socket, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::send(socket, data, size, MSG_NOSIGNAL);
        if (written <= 0)
            return false;
        data += written;
        size -= std::size_t(written);
    }
    return true;
}

QByteArray goodFrame()
{
    QByteArray frame = "@";
    for (int field = 1; field <= 80; ++field)
        frame += (field == 32 ? QByteArray("4242") : QByteArray("0")) + '@';
    return frame + '1';
}

// Accepts one client, sends it `noiseBytes` of random bytes as fast as it takes them, then a
// good frame every 20 ms until told to stop.
class FloodingPeer {
public:
    explicit FloodingPeer(std::size_t noiseBytes)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 1);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this, noiseBytes] { run(noiseBytes); });
    }
    ~FloodingPeer()
    {
        m_stop = true;
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
    }
    quint16 port() const { return m_port; }
    bool noiseSent() const { return m_noiseSent; }

private:
    void run(std::size_t noiseBytes)
    {
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0)
            return;
        QByteArray noise(64 * 1024, '\0');
        QRandomGenerator random(50);
        for (std::size_t sent = 0; sent < noiseBytes && !m_stop;
             sent += std::size_t(noise.size())) {
            random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
            if (!writeAll(client, noise.constData(), std::size_t(noise.size())))
                break;
        }
        m_noiseSent = true;
        const QByteArray frame = goodFrame();
        while (!m_stop && writeAll(client, frame.constData(), std::size_t(frame.size())))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ::close(client);
    }

    int m_listener = -1;
    quint16 m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_noiseSent{false};
};

} // namespace

TEST(StreamFlood, NoiseNeitherGrowsMemoryNorStallsTheWindowAndGoodFramesStillDecode)
{
    View view;
    FlightDataCache cache;
    ConnectionManager manager(view, cache, []() -> std::unique_ptr<FlightDataObject> {
        throw FlightDataError("no object in this test");
    });

    // The window's heartbeat: the longest time between two of its ticks.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer heartbeat;
    QObject::connect(&heartbeat, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });

    FloodingPeer peer(50 * 1024 * 1024);
    const long memoryBefore = test::residentKilobytes();
    long memoryPeak = memoryBefore;
    view.port = QString::number(peer.port());
    manager.ChooseConnectType(0);
    heartbeat.start(10);
    sinceTick.start();

    int blocks = 0;
    QObject::connect(&manager, &ConnectionManager::blockDecoded, [&] { ++blocks; });
    QElapsedTimer waited;
    waited.start();
    while (!(peer.noiseSent() && cache.LightBits == 4242) && waited.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        memoryPeak = std::max(memoryPeak, test::residentKilobytes());
    }
    EXPECT_TRUE(peer.noiseSent()) << blocks << " blocks in " << waited.elapsed() << " ms";
    EXPECT_EQ(cache.LightBits, 4242);
    EXPECT_TRUE(cache.VantorAy);
    EXPECT_LT(longestGap, 100) << "ms without window events";
    if (kResidentMemoryMeaningful) {
        EXPECT_LT(memoryPeak - memoryBefore, 20 * 1024) << "kB above the start";
    }
}
