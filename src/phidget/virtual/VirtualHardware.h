#pragma once

// Phidget boards that exist only in this process, for demos and tests. Each behaves as the
// real board does for the members the program uses (LED-64: 64 LEDs at 0 to 100; interface
// kit: 16 outputs; TextLCD: 2 rows of 20 characters; TextLED: 4 rows of 8; servo: 4 motors),
// remembers every value written, and can be plugged in, unplugged and made to fail, raising
// the manager's events as a real board would.

#include "phidget/PhidgetBoard.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace glimrow {

class PhidgetManager;

// What a virtual board shows: everything written to it.
struct VirtualDevice {
    QString type;
    int serial = 0;
    float version = 0;
    bool attached = false;
    bool failing = false;
    std::vector<int> leds;      // LED-64: brightness per LED
    std::vector<bool> outputs;  // interface kit
    QStringList rows;           // TextLCD, TextLED
    int brightness = 0;         // TextLCD, TextLED
    bool backlight = false;     // TextLCD
    bool cursorOn = false;      // TextLCD
    std::vector<double> motors; // servo positions
    int writes = 0;             // calls that changed or set something
};

class VirtualHardware : public QObject {
    Q_OBJECT

public:
    explicit VirtualHardware(QObject* parent = nullptr);
    ~VirtualHardware() override;

    // Adds an unplugged board of a kind (a type text of phidget_type, or any other text for a
    // device the program does not know). False when the serial number is taken.
    bool addDevice(const QString& type, int serial);
    // Two boards of each kind and one servo board: LED-64 10001 and 10002, interface kits
    // 20001 and 20002, TextLCD 30001 and 30002, TextLED 40001 and 40002, servo 50001.
    void addDefaultBoards();

    // Reports to `manager` from now on and plugs in every board, in ascending serial order.
    void open(PhidgetManager& manager);

    // Plug in, unplug, make every call fail (raising the error event). False for an unknown
    // serial number.
    bool attach(int serial);
    bool detach(int serial);
    bool setFailing(int serial, bool failing);

    const VirtualDevice* device(int serial) const;
    std::vector<const VirtualDevice*> devices() const; // ascending serial order

    // The virtual EPIC card of the EPICIO stand-in: plugged in or not, and every pigeonhole
    // written so far (ascending), with its four bytes and its number of writes.
    struct EpicPigeonhole {
        int number = 0;
        std::array<std::uint8_t, 4> bytes{};
        int writes = 0;
    };
    bool epicPresent() const;
    void setEpicPresent(bool present);
    std::vector<EpicPigeonhole> epicPigeonholes() const;

    struct DeviceState; // a device with its current board object

signals:
    // Something about a board changed (plugged, unplugged, written to).
    void changed();

private:
    friend class VirtualBoard;

    void noteChange();
    void raise(std::function<void(PhidgetManager&)> event);
    void deliverEvents();
    DeviceState* state(int serial) const;

    std::map<int, std::shared_ptr<DeviceState>> m_devices;
    QPointer<PhidgetManager> m_manager;
    std::deque<std::function<void(PhidgetManager&)>> m_events;
    bool m_delivering = false;
    bool m_changePending = false;
};

} // namespace glimrow
