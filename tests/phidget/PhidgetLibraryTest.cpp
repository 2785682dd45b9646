// The backends over the vendor's Phidget libraries, each against a fake of its library that
// raises its events from a thread of its own.

#include "FakePhidgetLibrary.h"
#include "support/CockpitFixture.h"
#include "support/QtPrinters.h"
#include "support/Waiting.h"

#include "phidget/library/Phidget21Backend.h"
#include "phidget/library/Phidget22Backend.h"
#include "phidget/library/PhidgetLibraryChoice.h"

#include <QThread>

using namespace glimrow;
using namespace glimrow::test;

namespace {

struct Library21 {
    using Backend = Phidget21Backend;
    static constexpr const char* kFile = FAKE_PHIDGET21;
    static constexpr const char* kLedCall = "CPhidgetLED_setDiscreteLED";
    static constexpr const char* kUndriven = "PhidgetAdvancedServo";
};

struct Library22 {
    using Backend = Phidget22Backend;
    static constexpr const char* kFile = FAKE_PHIDGET22;
    static constexpr const char* kLedCall = "PhidgetDigitalOutput_setDutyCycle";
    static constexpr const char* kUndriven = "PhidgetHub";
};

// The cockpit driving boards through a backend instead of virtual boards.
template <typename Library> class LibraryBoards : public CockpitFixture {
protected:
    LibraryBoards()
    {
        QString error;
        m_backend = Library::Backend::load(QString::fromLatin1(Library::kFile), &error);
        EXPECT_TRUE(m_backend) << error.toStdString();
        m_fake.alsoWaitFor([this] { return !m_backend || m_backend->sendsIdle(); });
    }
    // As the program does: the cockpit shuts down while the library is still loaded.
    ~LibraryBoards() override
    {
        if (m_cockpit)
            m_cockpit->ShutdownProgram();
    }

    // One lamp on an LED board and on a kit, a TextLED and a TextLCD row, and the G-suit.
    void startOnLibrary(const QByteArray& sections =
                            "[PLED64-1]\r\n0,Lamp,1,1\r\n[P01616-1]\r\n0,Lamp,1,1\r\n"
                            "[PTLED-1]\r\n0,,,CHAFF 30\r\n[PTLCD-1]\r\n0,,,CHAFF 30\r\n")
    {
        writeConfig(withRequiredSections(sections));
        CockpitSettings onLibrary = settings();
        onLibrary.openPhidgets = [this](PhidgetManager& manager) {
            QObject::connect(&manager, &PhidgetManager::OnAttach, [this] { noteThread(); });
            QObject::connect(&manager, &PhidgetManager::OnDetach, [this] { noteThread(); });
            QObject::connect(&manager, &PhidgetManager::OnError, [this] { noteThread(); });
            m_backend->open(manager);
        };
        m_cockpit = std::make_unique<Cockpit>(m_view, onLibrary);
        ASSERT_TRUE(m_cockpit->Start());
        // Only the test's ticks run cycles: the calls it expects are those of its own.
        m_cockpit->setPollingInterval(1000000);
    }
    bool waitForColour(int serial, CellColour colour)
    {
        return waitFor([&] { return deviceColour(serial) == colour; });
    }
    void plugAllKinds()
    {
        m_fake.plug("PhidgetLED", 10001, 103);
        m_fake.plug("PhidgetInterfaceKit", 20001, 825);
        m_fake.plug("PhidgetTextLCD", 30001, 200);
        m_fake.plug("PhidgetTextLED", 40001, 113);
        m_fake.plug("PhidgetServo", 50001, 313);
    }
    void runOneCycle()
    {
        set(FlightDataField::LightBits, 1);
        set(FlightDataField::GS, 1.5);
        tick();
    }

    FakePhidgetLibrary m_fake{QString::fromLatin1(Library::kFile)};
    std::unique_ptr<typename Library::Backend> m_backend;
    int m_eventsOffTheWindowThread = 0;

private:
    void noteThread()
    {
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            ++m_eventsOffTheWindowThread;
    }
};

using Phidget21 = LibraryBoards<Library21>;
using Phidget22 = LibraryBoards<Library22>;

} // namespace

TEST_F(Phidget21, BoardsAttachIntoTheirSlotsAndACycleArrivesAsLibraryCalls)
{
    plugAllKinds();
    startOnLibrary();
    m_fake.plug("PhidgetAdvancedServo", 90001, 100); // a kind the program does not drive
    ASSERT_TRUE(waitFor(
        [&] { return grid(CockpitGrid::Devices).rowCount() == 7 && devices().pRavazServo(1); }));
    EXPECT_EQ(devices().pRavazLED(1)->SerialNumber(), 10001);
    EXPECT_EQ(devices().pRavaz01616(1)->NumOutputs(), 16);
    EXPECT_EQ(grid(CockpitGrid::Devices).text(deviceRow(20001), 2), "825");
    EXPECT_EQ(grid(CockpitGrid::Devices).text(deviceRow(90001), 0), "0");
    EXPECT_EQ(m_eventsOffTheWindowThread, 0);

    // Every output of the kit off, then the displays' and the servo's starting settings.
    EXPECT_EQ(
        m_fake.takeCallsByBoard("CPhidgetInterfaceKit_setOutputState 20001", 16),
        QStringList(
            {"CPhidgetTextLCD_setBrightness 30001 191", "CPhidgetTextLCD_setBacklight 30001 1",
             "CPhidgetTextLCD_setCursorOn 30001 0", "CPhidgetTextLCD_setDisplayString 30001 0 ''",
             "CPhidgetTextLCD_setDisplayString 30001 1 ''",
             "CPhidgetTextLED_setBrightness 40001 75", "CPhidgetServo_setPosition 50001 1 0"}));

    runOneCycle();
    EXPECT_EQ(m_fake.takeCallsByBoard(),
              QStringList({"CPhidgetLED_setDiscreteLED 10001 0 75",
                           "CPhidgetInterfaceKit_setOutputState 20001 0 1",
                           "CPhidgetTextLCD_setDisplayString 30001 0 'CHAFF 30'",
                           "CPhidgetTextLED_setDisplayString 40001 0 'CHAFF 30'",
                           "CPhidgetServo_setPosition 50001 0 1.5",
                           "CPhidgetServo_setPosition 50001 1 1.5"}));

    // An older TextLCD has no brightness control: it is driven all the same, row green.
    m_fake.plug("PhidgetTextLCD", 30002, 113);
    ASSERT_TRUE(waitFor([&] { return devices().pRavazTextLCD(2) != nullptr; }));
    EXPECT_EQ(m_fake.takeCalls().filter("30002").first(), "CPhidgetTextLCD_setBacklight 30002 1");
    EXPECT_EQ(deviceColour(30002), CellColour::Green);

    // The library refuses a row longer than the display: it is cut to fit first.
    devices().pRavazTextLED(1)->setDisplayString(1, "MASTER CAUTION");
    devices().pRavazTextLCD(1)->setDisplayString(1, "FLCS FAULT  ENGINE FAULT");
    EXPECT_EQ(m_fake.takeCallsByBoard(),
              QStringList({"CPhidgetTextLCD_setDisplayString 30001 1 'FLCS FAULT  ENGINE F'",
                           "CPhidgetTextLED_setDisplayString 40001 1 'MASTER C'"}));
}

TEST_F(Phidget22, ChannelsAreGroupedIntoBoardsAndACycleArrivesAsChannelCalls)
{
    plugAllKinds();
    startOnLibrary();
    m_fake.plug("PhidgetHub", 90001, 100);
    ASSERT_TRUE(waitFor(
        [&] { return grid(CockpitGrid::Devices).rowCount() == 6 && devices().pRavazServo(1); }));
    EXPECT_EQ(deviceRow(40001), -1); // libphidget22 does not know TextLED boards
    EXPECT_EQ(devices().pRavazLED(1)->LEDCount(), 64);
    EXPECT_EQ(devices().pRavaz01616(1)->NumOutputs(), 16); // outputs only, not the inputs
    EXPECT_EQ(grid(CockpitGrid::Devices).text(deviceRow(90001), 1), "PhidgetHub");
    EXPECT_EQ(m_eventsOffTheWindowThread, 0);

    EXPECT_EQ(
        m_fake.takeCallsByBoard("PhidgetDigitalOutput_setState 20001/", 16),
        QStringList({"PhidgetLCD_setBacklight 30001/0 0.75", "PhidgetLCD_setCursorOn 30001/0 0",
                     "PhidgetLCD_writeText 30001/0 4 0 0 '                    '",
                     "PhidgetLCD_flush 30001/0 ",
                     "PhidgetLCD_writeText 30001/0 4 0 1 '                    '",
                     "PhidgetLCD_flush 30001/0 ", "PhidgetRCServo_setTargetPosition 50001/1 0",
                     "PhidgetRCServo_setEngaged 50001/1 1"}));

    runOneCycle();
    EXPECT_EQ(
        m_fake.takeCallsByBoard(),
        QStringList({"PhidgetDigitalOutput_setDutyCycle 10001/0 0.75",
                     "PhidgetDigitalOutput_setState 20001/0 1",
                     "PhidgetLCD_writeText 30001/0 4 0 0 'CHAFF 30            '",
                     "PhidgetLCD_flush 30001/0 ", "PhidgetRCServo_setTargetPosition 50001/0 1.5",
                     "PhidgetRCServo_setEngaged 50001/0 1",
                     "PhidgetRCServo_setTargetPosition 50001/1 1.5"}));
    devices().pRavazTextLCD(1)->setBacklight(false);
    devices().pRavazTextLCD(1)->setDisplayString(1, "FLCS FAULT  ENGINE FAULT");
    EXPECT_EQ(m_fake.takeCalls(),
              QStringList({"PhidgetLCD_setBacklight 30001/0 0",
                           "PhidgetLCD_writeText 30001/0 4 0 1 'FLCS FAULT  ENGINE F'",
                           "PhidgetLCD_flush 30001/0 "}));

    // A board that takes 20 ms a call: a lamp changed four times while its first change is on
    // the way gets that one and the newest, not a backlog.
    m_fake.setLatency(20);
    for (int brightness : {100, 0, 100, 30})
        devices().pRavazLED(1)->setDiscreteLED(5, brightness);
    EXPECT_EQ(m_fake.takeCalls(), QStringList({"PhidgetDigitalOutput_setDutyCycle 10001/5 1",
                                               "PhidgetDigitalOutput_setDutyCycle 10001/5 0.3"}));
    m_fake.setLatency(0);

    // The manager telling of an attached board again changes nothing.
    m_fake.plug("PhidgetLED", 10001, 103);
    QCoreApplication::processEvents();
    EXPECT_EQ(devices().attachCount(PhidgetDeviceManager::Kind::LED), 1);
}

template <typename Library> using BothLibraries = LibraryBoards<Library>;
using Libraries = ::testing::Types<Library21, Library22>;
TYPED_TEST_SUITE(BothLibraries, Libraries);

TYPED_TEST(BothLibraries, DetachErrorAndFailingCallsAsWithTheVirtualBoards)
{
    this->m_fake.plug("PhidgetLED", 10001, 103);
    this->m_fake.plug(TypeParam::kUndriven, 90001, 100);
    this->startOnLibrary("[PLED64-1]\r\n0,First,1,1\r\n1,Second,1,1\r\n");
    ASSERT_TRUE(this->waitForColour(10001, CellColour::Green));
    ASSERT_TRUE(this->waitForColour(90001, CellColour::Green));

    this->m_fake.unplug(10001);
    this->m_fake.unplug(90001);
    ASSERT_TRUE(this->waitForColour(10001, CellColour::Red));
    ASSERT_TRUE(this->waitForColour(90001, CellColour::Red));
    EXPECT_EQ(this->m_view.beeps, 2); // one detach per board, not one per channel
    this->m_fake.plug("PhidgetLED", 10001, 103);
    ASSERT_TRUE(this->waitForColour(10001, CellColour::Green));
    ASSERT_TRUE(this->devices().pRavazLED(1));
    EXPECT_EQ(this->grid(CockpitGrid::Devices).rowCount(), 3);

    // A call the library refuses, at once (libphidget21) or in its answer (libphidget22's
    // _async calls), skips its lamp and marks the board's row; once the board takes calls
    // again, the lamps are sent again.
    this->m_fake.takeCalls();
    this->m_fake.fail(TypeParam::kLedCall);
    this->runOneCycle();
    ASSERT_TRUE(this->waitForColour(10001, CellColour::Yellow));
    EXPECT_TRUE(this->m_fake.takeCalls().isEmpty());
    EXPECT_EQ(this->m_view.beeps, 3); // the row turning yellow beeps, not each refused call
    this->m_fake.fail(nullptr);
    this->tick();
    EXPECT_EQ(this->m_fake.takeCalls().size(), 2);
    EXPECT_THROW(this->devices().pRavazLED(1)->setDiscreteLED(64, 100), PhidgetError);

    // The board's own error.
    this->m_fake.unplug(10001);
    this->m_fake.plug("PhidgetLED", 10001, 103);
    ASSERT_TRUE(this->waitForColour(10001, CellColour::Green));
    this->m_fake.error(10001, 13, "Overtemperature");
    ASSERT_TRUE(this->waitForColour(10001, CellColour::Yellow));
    EXPECT_EQ(this->m_eventsOffTheWindowThread, 0);
}

TYPED_TEST(BothLibraries, OnlyChangesGoOutUnlessTheBoardMayHaveLostThem)
{
    this->m_fake.plug("PhidgetLED", 10001, 103);
    this->startOnLibrary("[PLED64-1]\r\n0,First,1,1\r\n1,Second,2,1\r\n");
    ASSERT_TRUE(this->waitForColour(10001, CellColour::Green));
    const auto ledCalls = [this] {
        return this->m_fake.takeCalls().filter(QLatin1StringView(TypeParam::kLedCall)).size();
    };
    this->set(FlightDataField::LightBits, 1);
    this->tick();
    ledCalls();
    this->tick();
    EXPECT_EQ(ledCalls(), 0) << "an unchanged cycle";
    this->set(FlightDataField::LightBits, 3);
    this->tick();
    EXPECT_EQ(ledCalls(), 1) << "one lamp changed";

    // After an error, and after a new attach, every configured lamp is sent again.
    this->m_fake.error(10001, 13, "Overtemperature");
    ASSERT_TRUE(this->waitForColour(10001, CellColour::Yellow));
    this->tick();
    EXPECT_EQ(ledCalls(), 2);
    this->m_fake.unplug(10001);
    this->m_fake.plug("PhidgetLED", 10001, 103);
    ASSERT_TRUE(this->waitForColour(10001, CellColour::Green));
    ledCalls();
    this->tick();
    EXPECT_EQ(ledCalls(), 2);

    // Shutdown darkens every LED, though most were dark already.
    this->m_cockpit->ShutdownProgram();
    EXPECT_EQ(ledCalls(), 64);
}

TEST(PhidgetLibraryChoice, CurrentLibraryFirstThenTheOlderOneThenNone)
{
    const QString absent = QStringLiteral("/nonexistent/libphidget.so.0");
    auto choice = choosePhidgetLibrary({FAKE_PHIDGET22, FAKE_PHIDGET21});
    EXPECT_TRUE(dynamic_cast<Phidget22Backend*>(choice.backend.get()));
    EXPECT_EQ(choice.description, "Phidget library: libphidget22 1.19");

    // A file that loads but is not the library it claims to be is reported, and skipped.
    choice = choosePhidgetLibrary({FAKE_PHIDGET21, FAKE_PHIDGET21});
    EXPECT_TRUE(dynamic_cast<Phidget21Backend*>(choice.backend.get()));
    EXPECT_EQ(choice.description, "Phidget library: libphidget21 2.1.9");
    ASSERT_EQ(choice.problems.size(), 1);
    EXPECT_TRUE(choice.problems[0].contains("PhidgetManager_create"));

    choice = choosePhidgetLibrary({absent, absent});
    EXPECT_FALSE(choice.backend);
    EXPECT_EQ(choice.description, kNoPhidgetLibraryLine);
    EXPECT_TRUE(choice.problems.isEmpty());
}
