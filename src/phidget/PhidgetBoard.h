#pragma once

// The Phidget boards as the program uses them: the three properties every board has, and the
// few members of each kind that the outputs call. A backend (the virtual boards, or the
// vendor's library) implements them; only a backend creates boards.

#include <QMetaType>
#include <QString>

#include <memory>
#include <stdexcept>
#include <utility>

namespace glimrow {

// A call on a board that failed: no board, an index out of range, a board that is gone.
class PhidgetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The device type texts the program acts on, compared exactly.
namespace phidget_type {
inline const QString InterfaceKit = QStringLiteral("PhidgetInterfaceKit");
inline const QString LED = QStringLiteral("PhidgetLED");
inline const QString TextLCD = QStringLiteral("PhidgetTextLCD");
inline const QString TextLED = QStringLiteral("PhidgetTextLED");
inline const QString Servo = QStringLiteral("PhidgetServo");
} // namespace phidget_type

class PhidgetBoard {
public:
    virtual ~PhidgetBoard() = default;
    PhidgetBoard(const PhidgetBoard&) = delete;
    PhidgetBoard& operator=(const PhidgetBoard&) = delete;

    // Every call may throw PhidgetError.
    virtual QString DeviceType() const = 0;
    virtual int SerialNumber() const = 0;
    virtual float DeviceVersion() const = 0;

protected:
    PhidgetBoard() = default;
};

class PhidgetInterfaceKit : public virtual PhidgetBoard {
public:
    virtual int NumOutputs() const = 0;
    virtual void setOutputState(int output, bool on) = 0;
};

class PhidgetLED : public virtual PhidgetBoard {
public:
    virtual int LEDCount() const = 0;
    // Brightness 0 (dark) to 100.
    virtual void setDiscreteLED(int led, int brightness) = 0;
};

// A row longer than the display is cut to its width before it is sent: libphidget21 refuses
// over-long text instead of cutting it.
class PhidgetTextLCD : public virtual PhidgetBoard {
public:
    static constexpr int kColumns = 20;
    virtual void setDisplayString(int row, const QString& text) = 0;
    // The backlight's brightness, 0 to 100 as the Day/Night slider gives it; each backend
    // brings it to its library's scale.
    virtual void setBrightness(int brightness) = 0;
    virtual void setBacklight(bool on) = 0;
    virtual void setCursorOn(bool on) = 0;
};

class PhidgetTextLED : public virtual PhidgetBoard {
public:
    static constexpr int kColumns = 8;
    virtual void setDisplayString(int row, const QString& text) = 0;
    virtual void setBrightness(int brightness) = 0; // 0 to 100
};

class PhidgetServo : public virtual PhidgetBoard {
public:
    virtual void setMotorPosition(int motor, float position) = 0;
    // The lowest and highest position the motor takes, as the board reports them.
    virtual std::pair<double, double> MotorPositionRange(int motor) = 0;
};

using PhidgetBoardPtr = std::shared_ptr<PhidgetBoard>;

} // namespace glimrow

Q_DECLARE_METATYPE(glimrow::PhidgetBoardPtr)
