#include "phidget/ChangeOnlyBoards.h"

#include <QHash>
#include <QVariant>

namespace glimrow {
namespace {

// The settings a board is told, each per channel (LED, output, row, motor; 0 for the board).
enum class Setting : quint32 { Led, Output, Row, Brightness, Backlight, Cursor, Position };

class ChangeOnlyBoard : public virtual PhidgetBoard {
public:
    explicit ChangeOnlyBoard(PhidgetBoardPtr board) : m_board(std::move(board)) {}

    QString DeviceType() const override { return m_board->DeviceType(); }
    int SerialNumber() const override { return m_board->SerialNumber(); }
    float DeviceVersion() const override { return m_board->DeviceVersion(); }
    void forget() { m_sent.clear(); }

protected:
    template <typename Board> Board& real() const { return dynamic_cast<Board&>(*m_board); }

    // Runs `send` unless channel `index` of `setting` was last told `value`. A send that
    // throws leaves the channel unknown, so the next value goes out whatever it is.
    template <typename Send>
    void sendChanged(Setting setting, int index, const QVariant& value, Send send)
    {
        const quint32 key = (quint32(setting) << 16) | (quint32(index) & 0xffffu);
        const auto last = m_sent.constFind(key);
        if (last != m_sent.cend() && *last == value)
            return;
        m_sent.remove(key);
        send();
        m_sent.insert(key, value);
    }

private:
    PhidgetBoardPtr m_board;
    QHash<quint32, QVariant> m_sent;
};

class ChangeOnlyInterfaceKit final : public ChangeOnlyBoard, public PhidgetInterfaceKit {
public:
    using ChangeOnlyBoard::ChangeOnlyBoard;
    int NumOutputs() const override { return real<PhidgetInterfaceKit>().NumOutputs(); }
    void setOutputState(int output, bool on) override
    {
        sendChanged(Setting::Output, output, on,
                    [&] { real<PhidgetInterfaceKit>().setOutputState(output, on); });
    }
};

class ChangeOnlyLED final : public ChangeOnlyBoard, public PhidgetLED {
public:
    using ChangeOnlyBoard::ChangeOnlyBoard;
    int LEDCount() const override { return real<PhidgetLED>().LEDCount(); }
    void setDiscreteLED(int led, int brightness) override
    {
        sendChanged(Setting::Led, led, brightness,
                    [&] { real<PhidgetLED>().setDiscreteLED(led, brightness); });
    }
};

// What TextLCD and TextLED boards share: rows and a brightness.
template <typename Display> class ChangeOnlyDisplay : public ChangeOnlyBoard, public Display {
public:
    using ChangeOnlyBoard::ChangeOnlyBoard;
    void setDisplayString(int row, const QString& text) override
    {
        sendChanged(Setting::Row, row, text, [&] { real<Display>().setDisplayString(row, text); });
    }
    void setBrightness(int brightness) override
    {
        sendChanged(Setting::Brightness, 0, brightness,
                    [&] { real<Display>().setBrightness(brightness); });
    }
};

using ChangeOnlyTextLED = ChangeOnlyDisplay<PhidgetTextLED>;

class ChangeOnlyTextLCD final : public ChangeOnlyDisplay<PhidgetTextLCD> {
public:
    using ChangeOnlyDisplay::ChangeOnlyDisplay;
    void setBacklight(bool on) override
    {
        sendChanged(Setting::Backlight, 0, on, [&] { real<PhidgetTextLCD>().setBacklight(on); });
    }
    void setCursorOn(bool on) override
    {
        sendChanged(Setting::Cursor, 0, on, [&] { real<PhidgetTextLCD>().setCursorOn(on); });
    }
};

class ChangeOnlyServo final : public ChangeOnlyBoard, public PhidgetServo {
public:
    using ChangeOnlyBoard::ChangeOnlyBoard;
    void setMotorPosition(int motor, float position) override
    {
        sendChanged(Setting::Position, motor, position,
                    [&] { real<PhidgetServo>().setMotorPosition(motor, position); });
    }
    std::pair<double, double> MotorPositionRange(int motor) override
    {
        return real<PhidgetServo>().MotorPositionRange(motor);
    }
};

template <typename Wrapper, typename Board> PhidgetBoardPtr wrapped(const PhidgetBoardPtr& board)
{
    if (!std::dynamic_pointer_cast<Board>(board))
        return board;
    return std::make_shared<Wrapper>(board);
}

} // namespace

PhidgetBoardPtr sendingChangesOnly(BoardKind kind, const PhidgetBoardPtr& board)
{
    switch (kind) {
    case BoardKind::InterfaceKit:
        return wrapped<ChangeOnlyInterfaceKit, PhidgetInterfaceKit>(board);
    case BoardKind::LED:
        return wrapped<ChangeOnlyLED, PhidgetLED>(board);
    case BoardKind::TextLCD:
        return wrapped<ChangeOnlyTextLCD, PhidgetTextLCD>(board);
    case BoardKind::TextLED:
        return wrapped<ChangeOnlyTextLED, PhidgetTextLED>(board);
    case BoardKind::Servo:
        return wrapped<ChangeOnlyServo, PhidgetServo>(board);
    }
    return board;
}

void forgetSentValues(PhidgetBoard& board)
{
    if (auto* changeOnly = dynamic_cast<ChangeOnlyBoard*>(&board))
        changeOnly->forget();
}

} // namespace glimrow
