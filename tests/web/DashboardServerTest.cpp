// The dashboard's server over loopback, with a real cockpit behind it: who may ask for what,
// what a page is sent, what its actions do, and what it cannot do to the program.

#include "support/CockpitFixture.h"
#include "support/Waiting.h"

#include "web/Dashboard.h"
#include "web/WebToken.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QWebSocket>

#include <memory>
#include <optional>

using namespace glimrow;
using namespace glimrow::test;

namespace {

const QByteArray kLamps = "[PLED64-1]\r\n0,Master caution,1,1\r\n1,Engine fire,1,2\r\n";
const QString kToken = QStringLiteral("0123456789abcdef0123456789abcdef");

struct Answer {
    int status = 0;
    QByteArray head;
    QByteArray body;

    // Whether the head has the header, its name compared without regard to case (Qt 6.8 writes
    // names in lower case), and its value.
    std::optional<QByteArray> header(const QByteArray& name) const
    {
        for (const QByteArray& line : head.split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.first(colon).compare(name, Qt::CaseInsensitive) == 0)
                return line.sliced(colon + 1).trimmed();
        }
        return std::nullopt;
    }
};

// One request as a client writes it, every byte chosen by the test.
Answer ask(quint16 port, const QByteArray& request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write(request);
    QByteArray received;
    const auto complete = [&] {
        received += socket.readAll();
        const qsizetype end = received.indexOf("\r\n\r\n");
        if (end < 0)
            return socket.state() != QAbstractSocket::ConnectedState;
        const QByteArray head = received.first(end).toLower();
        const qsizetype length = head.indexOf("content-length: ");
        return length < 0 ||
               received.size() - end - 4 >= head.mid(length + 16).split('\r')[0].toInt();
    };
    waitFor(complete);
    const qsizetype end = received.indexOf("\r\n\r\n");
    return {received.mid(9, 3).toInt(), received.first(std::max<qsizetype>(end, 0)),
            end < 0 ? QByteArray() : received.sliced(end + 4)};
}

QByteArray get(const QByteArray& target, const QByteArray& headers = {},
               const QByteArray& method = "GET")
{
    return method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n";
}

QByteArray upgrade(const QByteArray& target, const QByteArray& headers)
{
    return get(target, "Upgrade: websocket\r\nConnection: Upgrade\r\n"
                       "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                       "Sec-WebSocket-Version: 13\r\n" +
                           headers);
}

// A page's connection: what it was sent, and how it was closed.
struct PageClient {
    explicit PageClient(quint16 port, const QByteArray& cookie = {})
    {
        QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
            messages.append(QJsonDocument::fromJson(text.toUtf8()).object());
        });
        QNetworkRequest request(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
        if (!cookie.isEmpty())
            request.setRawHeader("Cookie", cookie);
        request.setRawHeader("Origin",
                             QByteArrayLiteral("http://127.0.0.1:") + QByteArray::number(port));
        socket.open(request);
    }
    // Whether the whole state came before the connection was refused or closed.
    bool opened()
    {
        waitFor([this] {
            return !messages.isEmpty() || socket.state() == QAbstractSocket::UnconnectedState;
        });
        return !messages.isEmpty();
    }
    // The newest value of a part, from the whole state or an update.
    QJsonObject part(const QString& name) const
    {
        for (auto message = messages.rbegin(); message != messages.rend(); ++message) {
            const QJsonObject parts =
                message->value(QStringLiteral("type")) == QStringLiteral("state")
                    ? message->value(QStringLiteral("state"))[QStringLiteral("parts")].toObject()
                    : message->value(QStringLiteral("parts")).toObject();
            if (parts.contains(name))
                return parts.value(name).toObject();
        }
        return {};
    }
    void act(const QJsonObject& action)
    {
        socket.sendTextMessage(QString::fromUtf8(QJsonDocument(action).toJson()));
    }
    int closedWith()
    {
        waitFor([this] { return socket.state() == QAbstractSocket::UnconnectedState; });
        return socket.closeCode();
    }
    QWebSocket socket;
    QList<QJsonObject> messages;
};

class DashboardServerTest : public CockpitFixture {
protected:
    Dashboard& serve(const QHostAddress& address, DashboardServer::Limits limits = {})
    {
        start(withRequiredSections(kLamps));
        m_server = std::make_unique<Dashboard>(*m_cockpit, m_state, limits);
        EXPECT_TRUE(m_server->start(WebListen{address, 0}, kToken));
        return *m_server;
    }
    std::unique_ptr<Dashboard> m_server;
};

TEST_F(DashboardServerTest, OnANetworkAddressEveryPathAndTheWebSocketNeedTheToken)
{
    const quint16 port = serve(QHostAddress::AnyIPv4).port();
    EXPECT_TRUE(m_server->pageUrl().endsWith(QStringLiteral("/?token=") + kToken));
    const QByteArray wrong = "Cookie: glimrow-token=ffffffffffffffffffffffffffffffff\r\n";
    const QByteArray right = "Cookie: glimrow-token=" + kToken.toLatin1() + "\r\n";
    for (const QByteArray path : {"/", "/dashboard.js", "/dashboard.css", "/api/state", "/ws",
                                  "/../etc/passwd", "/nothing"}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(ask(port, get(path)).status, 401);
        EXPECT_EQ(ask(port, get(path, wrong)).status, 403);
        const int served = ask(port, get(path, right)).status;
        EXPECT_TRUE(served == 200 || served == 404 || served == 426) << served;
    }
    // A person's browser is told what happened and where the address with the token is.
    const QByteArray browser = "Accept: text/html,*/*\r\n";
    for (const auto& [cookie, said] : {std::pair(QByteArray(), "has no access token"),
                                       std::pair(wrong, "is not this dashboard's")}) {
        const Answer page = ask(port, get("/", browser + cookie));
        EXPECT_TRUE(page.body.contains(said)) << page.body.toStdString();
        EXPECT_TRUE(page.body.contains("journalctl --user -u glimrow"));
        EXPECT_EQ(page.header("Content-Type"), "text/html; charset=utf-8");
    }
    const QByteArray origin = "Origin: http://127.0.0.1\r\n";
    EXPECT_EQ(ask(port, upgrade("/ws", origin)).status, 401);
    EXPECT_EQ(ask(port, upgrade("/ws", origin + wrong)).status, 403);
    EXPECT_EQ(ask(port, upgrade("/ws", origin + right)).status, 101);

    // The token comes once in the address; the page keeps it in a cookie no script can read.
    const Answer page = ask(port, get("/?token=" + kToken.toLatin1()));
    EXPECT_EQ(page.status, 200);
    EXPECT_TRUE(page.header("Set-Cookie")
                    .value_or("")
                    .startsWith("glimrow-token=" + kToken.toLatin1() +
                                "; Path=/; HttpOnly; SameSite=Strict"))
        << page.head.toStdString();
    const Answer state = ask(port, get("/api/state?token=" + kToken.toLatin1()));
    EXPECT_EQ(QJsonDocument::fromJson(state.body)[QStringLiteral("parts")][QStringLiteral(
                  "PLED64-1")][QStringLiteral("rows")][1][QStringLiteral("cells")][1],
              QStringLiteral("Engine fire"));
    PageClient client(port, "glimrow-token=" + kToken.toLatin1());
    EXPECT_TRUE(client.opened());
    PageClient stranger(port);
    EXPECT_FALSE(stranger.opened());
    // The token reaches the window and the log, never what pages are sent.
    ASSERT_TRUE(waitFor([&] {
        return QJsonDocument(client.part(QStringLiteral("messages")))
            .toJson()
            .contains("Dashboard: open");
    }));
    for (const QJsonObject& message : client.messages)
        EXPECT_FALSE(QJsonDocument(message).toJson().contains(kToken.toLatin1()));
    EXPECT_FALSE(ask(port, get("/api/state", right)).body.contains(kToken.toLatin1()));
    EXPECT_EQ(m_view.notices.filter(kToken).size(), 1);
}

TEST_F(DashboardServerTest, OnLoopbackNoTokenButOtherHostsOriginsMethodsAndExcessAreRefused)
{
    const quint16 port = serve(QHostAddress::LocalHost).port();
    EXPECT_EQ(ask(port, get("/")).status, 200);
    EXPECT_FALSE(ask(port, get("/")).header("Set-Cookie"));
    // A site whose name is made to point here must not reach in.
    EXPECT_EQ(ask(port, "GET / HTTP/1.1\r\nHost: evil.example:80\r\n\r\n").status, 403);
    EXPECT_EQ(ask(port, get("/api/state", {}, "POST")).status, 405);
    EXPECT_EQ(ask(port, get("/", {}, "DELETE")).status, 405);
    EXPECT_EQ(ask(port, get("/" + QByteArray(3000, 'a'))).status, 414);
    EXPECT_EQ(ask(port, get("/", "Content-Length: 20000\r\n") + QByteArray(20000, 'x')).status,
              413);
    // Too much is refused before it is read: announced, chunked, or headers without end.
    EXPECT_EQ(ask(port, get("/", "Content-Length: 100000000\r\n")).status, 413);
    EXPECT_EQ(ask(port, get("/", "Transfer-Encoding: chunked\r\n")).status, 411);
    EXPECT_EQ(ask(port, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX: " + QByteArray(40000, 'x')).status,
              431);
    // Exactly one host, and an absolute address names the same one.
    EXPECT_EQ(ask(port, "GET / HTTP/1.1\r\nHost: 127.0.0.1:1, evil.example\r\n\r\n").status, 400);
    EXPECT_EQ(ask(port, "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nHost: 127.0.0.1\r\n\r\n").status,
              400);
    EXPECT_EQ(ask(port, "GET http://evil.example/ HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n").status,
              400);
    // HEAD has no body; "Connection: close" closes once answered.
    const Answer head = ask(port, get("/api/state", {}, "HEAD"));
    EXPECT_EQ(head.status, 200);
    EXPECT_TRUE(head.body.isEmpty()) << head.body.size();
    QTcpSocket closing;
    closing.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(closing.waitForConnected(5000));
    closing.write(get("/dashboard.css", "Connection: close\r\n"));
    EXPECT_TRUE(waitFor([&] { return closing.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_TRUE(closing.readAll().startsWith("HTTP/1.1 200"));
    EXPECT_EQ(ask(port, upgrade("/ws", "Origin: http://evil.example\r\n")).status, 403);
    EXPECT_EQ(ask(port, upgrade("/ws", {})).status, 403);
    EXPECT_EQ(ask(port, upgrade("/other", "Origin: http://127.0.0.1\r\n")).status, 404);
    EXPECT_EQ(ask(port, upgrade("/ws", "Origin: http://127.0.0.1\r\n")).status, 101);
    // Each kind of refusal is logged, once.
    // They come from the server's thread.
    waitFor([this] { return !m_view.notices.filter(QStringLiteral("another host")).isEmpty(); });
    EXPECT_EQ(m_view.notices.filter(QStringLiteral("another origin")).size(), 1);
    EXPECT_EQ(m_view.notices.filter(QStringLiteral("another host")).size(), 1);

    // A second dashboard on the same port says so, and the first serves on.
    Dashboard second(*m_cockpit, m_state);
    EXPECT_FALSE(second.start(WebListen{QHostAddress::LocalHost, port}, {}));
    EXPECT_TRUE(m_view.notices.last().startsWith(
        QStringLiteral("The dashboard cannot listen on 127.0.0.1:%1: ").arg(port)));
    EXPECT_EQ(ask(port, get("/")).status, 200);
}

TEST_F(DashboardServerTest, APageGetsTheStateThenChangesAndItsActionsDriveTheCockpit)
{
    const quint16 port = serve(QHostAddress::LocalHost).port();
    tick();
    PageClient page(port);
    ASSERT_TRUE(page.opened());
    EXPECT_EQ(page.part(QStringLiteral("PLED64-1"))[QStringLiteral("caption")],
              QStringLiteral("PhidgetLED 64 - 1"));
    EXPECT_EQ(
        page.part(QStringLiteral("PLED64-1"))[QStringLiteral("rows")][0][QStringLiteral("lamp")],
        QStringLiteral("dark"));

    // Once the page shows the text boards as they are, a lamp's change sends no text board.
    ASSERT_TRUE(waitFor([&] {
        return page.part(QStringLiteral("PTLED-1")) ==
               QJsonDocument::fromJson(dashboardPartText(m_state, int(CockpitGrid::PTLED_1)))
                   .object();
    }));
    set(FlightDataField::LightBits, 1);
    tick();
    ASSERT_TRUE(waitFor([&] {
        return page.part(
                   QStringLiteral("PLED64-1"))[QStringLiteral("rows")][0][QStringLiteral("lamp")] ==
               QStringLiteral("lit");
    }));
    const QJsonObject update = page.messages.last()[QStringLiteral("parts")].toObject();
    EXPECT_FALSE(update.contains(QStringLiteral("PTLED-1")));

    // A change of colour alone reaches the page too: the lit line put under test turns yellow.
    page.act({{QStringLiteral("action"), QStringLiteral("test")},
              {QStringLiteral("section"), QStringLiteral("PLED64-1")},
              {QStringLiteral("line"), 0}});
    EXPECT_TRUE(waitFor([&] {
        const QJsonObject colours = page.part(QStringLiteral(
            "PLED64-1"))[QStringLiteral("rows")][0][QStringLiteral("colours")]
                                        .toObject();
        return !colours.isEmpty() && colours.begin()->toString() == QStringLiteral("yellow");
    }));

    page.act({{QStringLiteral("action"), QStringLiteral("endTest")}});
    ASSERT_TRUE(waitFor([&] { return !m_cockpit->outputUnderTest(); }));
    page.act(
        {{QStringLiteral("action"), QStringLiteral("brightness")}, {QStringLiteral("value"), 60}});
    ASSERT_TRUE(waitFor([&] { return m_cockpit->lampBrightness() == 60; }));
    page.act({{QStringLiteral("action"), QStringLiteral("allLampsOn")},
              {QStringLiteral("value"), true}});
    ASSERT_TRUE(waitFor([&] { return m_state.allLampsOn(); }));
    EXPECT_EQ(board(10001).leds[1], 60);
    // A cockpit without a screen opens and closes the EPIC card from the page.
    page.act({{QStringLiteral("action"), QStringLiteral("openEpic")}});
    ASSERT_TRUE(waitFor([&] { return m_cockpit->mbEpicOpen(); }));
    page.act({{QStringLiteral("action"), QStringLiteral("closeEpic")}});
    ASSERT_TRUE(waitFor([&] { return !m_cockpit->mbEpicOpen(); }));

    // What a page may not send ends its connection, with the code that says why.
    page.act({{QStringLiteral("action"), QStringLiteral("format-disk")}});
    EXPECT_EQ(page.closedWith(), QWebSocketProtocol::CloseCodePolicyViolated);
    PageClient garbled(port);
    ASSERT_TRUE(garbled.opened());
    garbled.socket.sendTextMessage(QStringLiteral("{not json"));
    EXPECT_EQ(garbled.closedWith(), QWebSocketProtocol::CloseCodeWrongDatatype);
    PageClient wordy(port);
    ASSERT_TRUE(wordy.opened());
    wordy.socket.sendTextMessage(QString(5000, u'x'));
    EXPECT_EQ(wordy.closedWith(), QWebSocketProtocol::CloseCodeTooMuchData);
    PageClient outOfRange(port);
    ASSERT_TRUE(outOfRange.opened());
    outOfRange.act({{QStringLiteral("action"), QStringLiteral("brightness")},
                    {QStringLiteral("value"), 1000}});
    EXPECT_EQ(outOfRange.closedWith(), QWebSocketProtocol::CloseCodePolicyViolated);
    EXPECT_EQ(m_cockpit->lampBrightness(), 60);
}

TEST_F(DashboardServerTest, AnyTextInACellComesOutAsValidJson)
{
    start(withRequiredSections(kLamps));
    const QString awkward = QStringLiteral("a \"quote\", a \\ backslash, \x01\x1f\r\n, Zürich ✈");
    m_state.grid(CockpitGrid::PLED64_1).setText(1, 1, awkward);
    QJsonParseError error{};
    const QJsonObject grid =
        QJsonDocument::fromJson(dashboardPartText(m_state, int(CockpitGrid::PLED64_1)), &error)
            .object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_EQ(grid[QStringLiteral("rows")][0][QStringLiteral("cells")][1], awkward);
}

TEST_F(DashboardServerTest,
       PagesBeyondTheLimitAreTurnedAwayAndNoneThatComeGoOrMisbehaveLockOthersOut)
{
    DashboardServer::Limits limits;
    limits.headWithinMs = 300;
    Dashboard& server = serve(QHostAddress::LocalHost, limits);
    const quint16 port = server.port();
    // Fifty pages at once: those beyond the limit are turned away, and all are counted out.
    {
        std::vector<std::unique_ptr<PageClient>> fifty;
        for (int count = 0; count < 50; ++count)
            fifty.push_back(std::make_unique<PageClient>(port));
        ASSERT_TRUE(waitFor([&] { return server.pageCount() == 32; })) << server.pageCount();
        EXPECT_EQ(ask(port, upgrade("/ws", "Origin: http://127.0.0.1\r\n")).status, 503);
        int opened = 0;
        for (auto& page : fifty)
            opened += page->opened() ? 1 : 0;
        EXPECT_EQ(opened, 32);
    }
    ASSERT_TRUE(waitFor([&] { return server.pageCount() == 0; }));
    // A connection that never finishes its request is closed, and makes way.
    QTcpSocket slow;
    slow.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(slow.waitForConnected(5000));
    slow.write("GET / HT");
    EXPECT_TRUE(waitFor([&] { return slow.state() == QAbstractSocket::UnconnectedState; }));

    // Pages opened and closed one at a time, as a phone that reloads: each is counted out.
    for (int visit = 0; visit < 200; ++visit) {
        PageClient page(port);
        ASSERT_TRUE(page.opened()) << "visit " << visit;
    }
    // A message of endless empty frames is ended, though it holds no bytes.
    QTcpSocket framing;
    framing.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(framing.waitForConnected(5000));
    framing.write(upgrade("/ws", "Origin: http://127.0.0.1\r\n"));
    QByteArray received;
    ASSERT_TRUE(waitFor([&] { return (received += framing.readAll()).contains("\r\n\r\n"); }));
    ASSERT_TRUE(received.startsWith("HTTP/1.1 101"));
    received.clear();
    // Masked, as from a page: a text frame left open, then continuations of nothing.
    framing.write(QByteArray("\x01\x80\0\0\0\0", 6) +
                  QByteArray("\x00\x80\0\0\0\0", 6).repeated(1000));
    ASSERT_TRUE(waitFor([&] { return (received += framing.readAll()).contains("\x88"); }));
    const QByteArray closing = received.sliced(received.indexOf("\x88"));
    ASSERT_GE(closing.size(), 4);
    EXPECT_EQ((quint8(closing[2]) << 8) | quint8(closing[3]),
              QWebSocketProtocol::CloseCodeTooMuchData);

    // Pages that drop their connections while changes go out to them.
    std::vector<std::unique_ptr<PageClient>> pages;
    for (int count = 0; count < 20; ++count)
        pages.push_back(std::make_unique<PageClient>(port));
    for (auto& page : pages)
        ASSERT_TRUE(page->opened());
    for (int change = 0; change < 40; ++change) {
        set(FlightDataField::LightBits, change % 2);
        m_state.grid(CockpitGrid::PLED64_1)
            .setText(1, 1, QString(100000, QChar('a' + change % 26)));
        tick();
        if (change % 2 == 0)
            pages[std::size_t(change / 2)]->socket.abort();
        QCoreApplication::processEvents();
    }
    PageClient later(port);
    EXPECT_TRUE(later.opened());
}

TEST(WebToken, IsMadeOnceReadableByItsOwnerOnlyAndKept)
{
    QTemporaryDir folder;
    const QString path = WebToken::pathBeside(folder.filePath(QStringLiteral("Glimrow.cfg")));
    QString problem;
    const auto made = WebToken::loadOrCreate(path, &problem);
    ASSERT_TRUE(made) << problem.toStdString();
    EXPECT_EQ(made->size(), 32);
    EXPECT_EQ(QFile(path).permissions() & ~(QFile::ReadUser | QFile::WriteUser),
              QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(WebToken::loadOrCreate(path, &problem), made);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a token\n");
    file.close();
    const auto remade = WebToken::loadOrCreate(path, &problem);
    ASSERT_TRUE(remade);
    EXPECT_NE(remade, made);
    EXPECT_FALSE(
        WebToken::loadOrCreate(folder.filePath(QStringLiteral("no/such/web-token")), &problem));
    EXPECT_TRUE(problem.contains(QStringLiteral("cannot be written")));
}

TEST(WebListen, ReadsPortsAndAddressesAndSaysWhatIsWrong)
{
    QString problem;
    EXPECT_EQ(WebListen::parse(QStringLiteral("8080"), &problem)->text(),
              QStringLiteral("127.0.0.1:8080"));
    EXPECT_EQ(WebListen::parse(QStringLiteral(" 0.0.0.0:80 "), &problem)->text(),
              QStringLiteral("0.0.0.0:80"));
    EXPECT_EQ(WebListen::parse(QStringLiteral("[::1]:8080"), &problem)->text(),
              QStringLiteral("[::1]:8080"));
    EXPECT_TRUE(WebListen::parse(QStringLiteral("[::1]:8080"), &problem)->isLoopback());
    EXPECT_FALSE(WebListen::parse(QStringLiteral("192.168.1.20:8080"), &problem)->isLoopback());
    for (const char* wrong : {"", "http", "65536", "-1", "host.example:8080", "1.2.3.4:"}) {
        SCOPED_TRACE(wrong);
        EXPECT_FALSE(WebListen::parse(QString::fromLatin1(wrong), &problem));
        EXPECT_TRUE(problem.contains(QStringLiteral("expected [ADDRESS:]PORT")));
    }
}

} // namespace
