// The dashboard in a real browser: Debian's chromium, headless, driven over its DevTools
// protocol as a person would use the page, against glimrow --headless --virtual-hardware and
// vantor-sim. Set GLIMROW_DASHBOARD_PICTURES to a folder to keep pictures of the page there,
// on a phone (dashboard-phone.png) and a laptop (dashboard.png).

#include "e2e/EndToEnd.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QWebSocket>

using namespace glimrow::test;

namespace {

// A headless chromium and one page in it, spoken to over the DevTools protocol.
class Browser {
public:
    bool start(const QString& profile)
    {
        const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
        if (chromium.isEmpty())
            return false;
        m_process.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                                   "--remote-debugging-port=0", "--window-size=1280,1600",
                                   "--user-data-dir=" + profile, "about:blank"});
        QString address;
        QByteArray said;
        waitFor(
            [&] {
                said += m_process.readAllStandardError();
                const auto found =
                    QRegularExpression(QStringLiteral("DevTools listening on (ws://\\S+)"))
                        .match(QString::fromLatin1(said));
                address = found.captured(1);
                return !address.isEmpty() || m_process.state() == QProcess::NotRunning;
            },
            30000);
        if (address.isEmpty())
            return false;
        QObject::connect(&m_socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
            const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
            if (message.contains(QStringLiteral("id")))
                m_answers[message.value(QStringLiteral("id")).toInt()] = message;
        });
        m_socket.open(QUrl(address));
        if (!waitFor([this] { return m_socket.state() == QAbstractSocket::ConnectedState; }))
            return false;
        const QString target =
            call("Target.createTarget", {{"url", "about:blank"}})["targetId"].toString();
        m_session =
            call("Target.attachToTarget", {{"targetId", target}, {"flatten", true}})["sessionId"]
                .toString();
        return !m_session.isEmpty();
    }
    ~Browser()
    {
        m_socket.close();
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }

    QJsonObject call(const QString& method, const QJsonObject& parameters = {})
    {
        const int id = ++m_lastId;
        QJsonObject message{{"id", id}, {"method", method}, {"params", parameters}};
        if (!m_session.isEmpty())
            message.insert(QStringLiteral("sessionId"), m_session);
        m_socket.sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson()));
        waitFor([&] { return m_answers.contains(id); }, 15000);
        return m_answers.take(id).value(QStringLiteral("result")).toObject();
    }
    void open(const QString& url) { call("Page.navigate", {{"url", url}}); }
    // What a script in the page says.
    QJsonValue evaluate(const QString& expression)
    {
        return call("Runtime.evaluate",
                    {{"expression", expression}, {"returnByValue", true}})["result"]
            .toObject()
            .value(QStringLiteral("value"));
    }
    // A key pressed and let go, as the keyboard sends it to what has focus.
    void press(const QString& key, const QString& code, int keyCode)
    {
        const QString text = key.size() == 1 ? key : QString();
        call("Input.dispatchKeyEvent", {{"type", "keyDown"},
                                        {"key", key},
                                        {"code", code},
                                        {"windowsVirtualKeyCode", keyCode},
                                        {"text", text}});
        call("Input.dispatchKeyEvent",
             {{"type", "keyUp"}, {"key", key}, {"code", code}, {"windowsVirtualKeyCode", keyCode}});
    }
    // The name the accessibility tree gives what `selector` finds, as a screen reader reads it.
    QString accessibleName(const QString& selector)
    {
        const int document = call("DOM.getDocument")["root"].toObject()["nodeId"].toInt();
        const int node =
            call("DOM.querySelector", {{"nodeId", document}, {"selector", selector}})["nodeId"]
                .toInt();
        const QJsonArray nodes = call("Accessibility.getPartialAXTree",
                                      {{"nodeId", node}, {"fetchRelatives", false}})["nodes"]
                                     .toArray();
        return nodes.isEmpty() ? QString() : nodes[0]["name"].toObject()["value"].toString();
    }
    // The page as a screen of `width` by `height` shows it (a phone's when `phone`).
    void showOn(int width, int height, bool phone)
    {
        call("Emulation.setDeviceMetricsOverride",
             {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", phone}});
        evaluate(QStringLiteral("window.scrollTo(0, 0)"));
    }
    QByteArray picture()
    {
        return QByteArray::fromBase64(
            call("Page.captureScreenshot", {{"format", "png"}})["data"].toString().toLatin1());
    }

private:
    QProcess m_process;
    QWebSocket m_socket;
    QString m_session;
    int m_lastId = 0;
    QHash<int, QJsonObject> m_answers;
};

// The LED-64 board 1 lines as the page shows them: port number and "lit" or "dark".
const QString kLampsShown = QStringLiteral(
    "[...document.querySelectorAll('#grid-PLED64-1 tbody tr')].map(r => [Number(r.cells[0]"
    ".textContent), r.cells[2].textContent])");

TEST_F(EndToEnd, TheDashboardShowsTheLampsInABrowserAndItsButtonsTestThem)
{
#ifdef GLIMROW_EMULATED_BINFMT
    GTEST_SKIP() << "the browser runs only where the program is native";
#endif
    // The configuration listens through [WEB] on a port of the test's own (a restarted program
    // is found there again), and has a line that cannot work.
    const QByteArray port = freePort();
    ASSERT_FALSE(port.isEmpty());
    changeFile(m_dir.filePath("Glimrow.cfg"),
               {{"/ LED-64 board 2", "99,Lamp beyond the board,1,1\r\n/ LED-64 board 2"},
                {"[PLED64-1]", "[WEB]\r\n" + port + "\r\n[PLED64-1]"},
                {"0,Master Caution,", "0,Master\x1b[8mCaution,"}});

    startProgram({"--polling", "50"});
    QString url;
    QByteArray said;
    waitFor([&] {
        said += m_program.readAllStandardError();
        url = QRegularExpression(QStringLiteral("Dashboard: open (http://\\S+)"))
                  .match(QString::fromUtf8(said))
                  .captured(1);
        return !url.isEmpty();
    });
    ASSERT_FALSE(url.isEmpty()) << said.toStdString();

    Browser browser;
    QTemporaryDir profile;
    ASSERT_TRUE(browser.start(profile.path())) << "chromium did not start";
    browser.open(url);

    // A lamp the data lights reads "lit", and its LED is on.
    const auto pageShowsTheBoard = [&] {
        const QList<int> leds = qdbus_cast<QList<int>>(hardware("Leds", 10001).value(0));
        for (const QJsonValue line : browser.evaluate(kLampsShown).toArray()) {
            const int led = line[0].toInt();
            if (line[1] == QStringLiteral("lit") && led < leds.size() && leds[led] > 0)
                return std::string();
        }
        return std::string("no lit lamp on the page and the board at once");
    };
    EXPECT_EQ(eventually(pageShowsTheBoard), "");

    // A control character from the file is shown as the log shows it, never obeyed.
    EXPECT_EQ(browser.evaluate(QStringLiteral(
                  "document.querySelector('#grid-PLED64-1 tbody tr').cells[1].textContent")),
              QStringLiteral("Master\\x1B[8mCaution"));

    // A dark line, far from the lamp that moves along the board, is tested and lit.
    const QJsonArray shown = browser.evaluate(kLampsShown).toArray();
    int moving = 1;
    for (const QJsonValue line : shown) {
        if (line[1] == QStringLiteral("lit") && line[0].toInt() != 0)
            moving = line[0].toInt();
    }
    const int led = (moving + 16) % 32 == 0 ? 16 : (moving + 16) % 32;
    const QString row = QStringLiteral("#grid-PLED64-1 tbody tr:nth-child(%1)").arg(led + 1);
    ASSERT_EQ(browser.evaluate("document.querySelector('" + row + "').cells[2].textContent"),
              QStringLiteral("dark"));
    // Reached with the keyboard: Tab from the line before, a second of lamps changing on the
    // page, and Space still presses the same button, which a screen reader names by its line.
    const QString button = row + " button";
    const QString description =
        browser.evaluate("document.querySelector('" + row + "').cells[1].textContent").toString();
    browser.evaluate(QStringLiteral("document.querySelector('#grid-PLED64-1 tbody "
                                    "tr:nth-child(%1) button').focus()")
                         .arg(led));
    browser.press("Tab", "Tab", 9);
    const QString hasFocus = "document.activeElement === document.querySelector('" + button + "')";
    ASSERT_EQ(browser.evaluate(hasFocus), true);
    EXPECT_EQ(browser.accessibleName(button), "Test " + description);
    const QJsonValue lampsBefore = browser.evaluate(kLampsShown);
    QElapsedTimer second;
    second.start();
    bool lampsChanged = false;
    EXPECT_TRUE(waitFor([&] {
        lampsChanged = lampsChanged || browser.evaluate(kLampsShown) != lampsBefore;
        return lampsChanged && second.elapsed() >= 1000;
    })) << "the lamps on the page did not change";
    EXPECT_EQ(browser.evaluate(hasFocus), true) << "focus lost while the lamps changed";
    browser.press(" ", "Space", 32);
    EXPECT_EQ(eventually([&] {
                  const QList<int> leds = qdbus_cast<QList<int>>(hardware("Leds", 10001).value(0));
                  return leds.value(led) > 0 ? std::string() : "the tested LED is not lit";
              }),
              "");
    EXPECT_EQ(eventually([&] {
                  return browser.evaluate("document.querySelector('" + button + "').textContent") ==
                                     QStringLiteral("End the Test") &&
                                 browser.accessibleName(button) == "End the Test of " + description
                             ? std::string()
                             : "the button does not offer to end the test of its line";
              }),
              "");

    // A phone and a laptop: no card scrolls sideways, and every Test button is on screen.
    const QString notOnScreen = QStringLiteral(
        "(() => { const wide = [...document.querySelectorAll('.sections > section:not([hidden]), "
        ".panel')].filter(c => c.scrollWidth > c.clientWidth + 1).map(c => c.id || "
        "c.querySelector('h2').textContent); if (document.documentElement.scrollWidth > "
        "innerWidth) wide.push('the page'); const off = [...document.querySelectorAll("
        "'button.test')].filter(b => b.getBoundingClientRect().right > innerWidth); if "
        "(off.length) wide.push(off.length + ' Test buttons'); return wide.join(', '); })()");
    const QString pictures = qEnvironmentVariable("GLIMROW_DASHBOARD_PICTURES");
    for (const auto& [width, height, name] :
         {std::tuple(390, 844, "dashboard-phone.png"), std::tuple(1366, 768, "dashboard.png")}) {
        browser.showOn(width, height, width < 500);
        EXPECT_EQ(browser.evaluate(notOnScreen).toString(), "") << "at " << width << " px";
        if (!pictures.isEmpty()) {
            QFile picture(pictures + '/' + name);
            ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
            picture.write(browser.picture());
        }
    }
    browser.press(" ", "Space", 32); // the same button, still focused, ends the test
    EXPECT_EQ(eventually([&] {
                  const QList<int> leds = qdbus_cast<QList<int>>(hardware("Leds", 10001).value(0));
                  return leds.value(led) == 0 ? std::string() : "the LED stays lit after the test";
              }),
              "");

    // The line that cannot work is in the page's Messages.
    EXPECT_EQ(eventually([&] {
                  return browser.evaluate("document.getElementById('messages').textContent")
                                 .toString()
                                 .contains(
                                     QStringLiteral("output \"99\" is not on an LED-64 board"))
                             ? std::string()
                             : "no warning in the Messages";
              }),
              "");

    // Glimrow stops: within 2 s the page says so, marks what it shows as last seen, and lets
    // nothing be pressed. Back, it is live again with the state of now.
    const QString stoppedShown = QStringLiteral(
        "[...document.querySelectorAll('button, input')].every(b => b.disabled) && "
        "document.getElementById('connection-status').textContent === 'Glimrow is not running' "
        "&& [...document.querySelectorAll('#grid-PLED64-1 td')].every(c => "
        "c.title.startsWith('last seen: '))");
    ::kill(pid_t(m_program.processId()), SIGTERM);
    EXPECT_TRUE(waitFor([&] { return browser.evaluate(stoppedShown) == true; }, 2000));
    expectCleanExit();
    startProgram({"--polling", "50"});
    EXPECT_TRUE(waitFor([&] {
        return browser.evaluate("[...document.querySelectorAll('button')].every(b => !b.disabled)")
            .toBool();
    }));
    EXPECT_EQ(eventually(pageShowsTheBoard), "");
}

} // namespace
