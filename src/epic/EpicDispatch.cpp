#include "epic/EpicDispatch.h"

#include "common/NumberText.h"
#include "common/SkippedStep.h"

#include <QLoggingCategory>

#include <string>

namespace glimrow {

Q_LOGGING_CATEGORY(lcEpic, "glimrow.epic", QtWarningMsg)

namespace {

constexpr double kDegreesPerRadian = 57.29577951;
const QString kProductName = QStringLiteral("Vantor Lumex Mon - ME");

} // namespace

// How a keyword's value is shown, and which of Pigrelay's typed calls carry it.
struct EpicDispatch::Channel {
    enum class Shown { ActiveFlag, Rounded, AsRead, NegatedDegrees, Fixed };
    enum class Calls { WordToPigeonhole, PigeonholeThenValue, ValueThenPigeonhole, PigeonholeOnly };
    enum class Derived { None, FuelReserve, InternalWing };
    using Functions = PigrelayFunctions;

    const char* keyword;
    FlightDataField field;
    std::optional<FlightDataField> addedField; // TOTAL: internal plus external
    Shown shown;
    int decimals;      // Rounded, NegatedDegrees
    double fixedValue; // Fixed
    Calls calls;
    Functions::ValueChannel Functions::*value = nullptr; // the value channels
    Functions::WordChannel Functions::*word = nullptr;   // WordToPigeonhole
    Derived derived = Derived::None; // PigeonholeOnly: whose pigeonhole; else: the send after
};

std::span<const EpicDispatch::Channel> EpicDispatch::channels()
{
    using F = FlightDataField;
    using S = Channel::Shown;
    using C = Channel::Calls;
    using D = Channel::Derived;
    using P = PigrelayFunctions;
    static const Channel table[] = {
        {"LIGHTBITS", F::LightBits, {}, S::ActiveFlag, 0, 0, C::WordToPigeonhole, {}, &P::LB},
        {"LIGHTBITS2", F::LightBits2, {}, S::ActiveFlag, 0, 0, C::WordToPigeonhole, {}, &P::LB2},
        {"LIGHTBITS3", F::LightBits3, {}, S::ActiveFlag, 0, 0, C::WordToPigeonhole, {}, &P::LB3},
        {"RPM", F::RPM, {}, S::Rounded, 0, 0, C::PigeonholeThenValue, &P::RPM},
        {"RPM2", F::RPM2, {}, S::Rounded, 0, 0, C::PigeonholeThenValue, &P::RPM2},
        {"OILPRESSURE", F::OilPressure, {}, S::Rounded, 0, 0, C::ValueThenPigeonhole, &P::OIL},
        {"OILPRESSURE2", F::OilPressure2, {}, S::Rounded, 0, 0, C::ValueThenPigeonhole, &P::OIL2},
        {"CHAFFCOUNT", F::ChaffCount, {}, S::AsRead, 0, 0, C::ValueThenPigeonhole, &P::CHAFF},
        {"FLARECOUNT", F::Flarecount, {}, S::AsRead, 0, 0, C::ValueThenPigeonhole, &P::FLARE},
        {"PITCH", F::Pitch, {}, S::NegatedDegrees, 4, 0, C::ValueThenPigeonhole, &P::PITCH},
        {"ROLL", F::Roll, {}, S::NegatedDegrees, 4, 0, C::ValueThenPigeonhole, &P::ROLL},
        {"TOTAL",
         F::InternalFuel,
         F::ExternalFuel,
         S::Rounded,
         0,
         0,
         C::ValueThenPigeonhole,
         &P::TOTAL,
         {},
         D::FuelReserve},
        {"INTERNALFUEL",
         F::InternalFuel,
         {},
         S::Rounded,
         0,
         0,
         C::ValueThenPigeonhole,
         &P::INTERNAL,
         {},
         D::InternalWing},
        {"EXTERNALFUEL",
         F::ExternalFuel,
         {},
         S::Rounded,
         0,
         0,
         C::ValueThenPigeonhole,
         &P::EXTERNAL},
        {"INTWINGFUEL",
         F::InternalFuel,
         {},
         S::Fixed,
         0,
         1100,
         C::PigeonholeOnly,
         {},
         {},
         D::InternalWing},
        {"INTRESFUEL",
         F::InternalFuel,
         {},
         S::Fixed,
         0,
         900,
         C::PigeonholeOnly,
         {},
         {},
         D::FuelReserve},
        {"MACH", F::Mach, {}, S::Rounded, 1, 0, C::ValueThenPigeonhole, &P::MACH},
        {"KIAS", F::KIAS, {}, S::Rounded, 0, 0, C::ValueThenPigeonhole, &P::KIAS},
        {"GS", F::GS, {}, S::Rounded, 2, 0, C::ValueThenPigeonhole, &P::GS},
        {"NOZZLE", F::NozzlePos, {}, S::Rounded, 0, 0, C::ValueThenPigeonhole, &P::NOZZLE},
        // The second nozzle's keyword is spelled with three Z; NOZZLE2 is not recognised.
        {"NOZZZLE2", F::NozzlePos2, {}, S::Rounded, 0, 0, C::ValueThenPigeonhole, &P::NOZZLE2},
        {"FTIT", F::FTIT, {}, S::Rounded, 0, 0, C::ValueThenPigeonhole, &P::FTIT},
        {"FTIT2", F::FTIT2, {}, S::Rounded, 0, 0, C::ValueThenPigeonhole, &P::FTIT2},
        {"SPEEDBRAKE", F::SpeedBrake, {}, S::Rounded, 2, 0, C::ValueThenPigeonhole, &P::SPEEDBRAKE},
        {"EPUFUEL", F::EPUFuel, {}, S::Rounded, 0, 0, C::ValueThenPigeonhole, &P::EPUFUEL},
        {"FUELFLOW", F::FuelFlow, {}, S::Rounded, 0, 0, C::ValueThenPigeonhole, &P::FUELFLOW},
        {"UFC", F::UFCTChan, {}, S::AsRead, 0, 0, C::ValueThenPigeonhole, &P::UFC},
        {"AUX", F::AUXTChan, {}, S::AsRead, 0, 0, C::ValueThenPigeonhole, &P::AUX},
    };
    return table;
}

const EpicDispatch::Channel* EpicDispatch::channelFor(const QString& keyword)
{
    for (const Channel& channel : channels()) {
        if (keyword == QLatin1StringView(channel.keyword))
            return &channel;
    }
    return nullptr;
}

QStringList EpicDispatch::keywords()
{
    QStringList names;
    for (const Channel& channel : channels())
        names << QString::fromLatin1(channel.keyword);
    return names;
}

EpicDispatch::EpicDispatch(PigrelayLibrary& pigrelay, OutputGrid& epicGrid, FlightDataSource& data,
                           PhidgetDeviceManager& devices, MessageReporter& messages,
                           OutputOptions& options)
    : m_pigrelay(pigrelay), m_epicGrid(epicGrid), m_data(data), m_devices(devices),
      m_messages(messages), m_options(options)
{
}

void EpicDispatch::report(const PigrelayError& error)
{
    // Said once per missing piece; the next "Open Epic" may say it again.
    if (m_reported.insert(error.what()).second)
        m_messages.showMessage(kProductName, QString::fromStdString(error.what()));
}

void EpicDispatch::OpenEpicCard(const SectionTable* lines)
{
    m_reported.clear();
    int opened = 0;
    try {
        opened = m_pigrelay.functions().OpenEpic();
    } catch (const PigrelayError& error) {
        m_mbEpicOpen = false;
        report(error);
        return;
    }
    m_mbEpicOpen = opened >= 1;
    if (!m_mbEpicOpen)
        m_messages.showMessage(kProductName, QStringLiteral("Epic Not Detected"));
    m_devices.ListDevice(1, QStringLiteral("EPIC USB"), QString(), QString(),
                         QStringLiteral("EPICAnalogs"));
    setLines(lines);
    // A line put under test before the card was open reaches it now.
    if (const std::optional<qsizetype> row = lineUnderTest();
        row && lines && *row < lines->rowCount())
        TestLine(*lines, *row, true);
}

void EpicDispatch::CloseEpicCard()
{
    try {
        m_mbEpicOpen = m_pigrelay.functions().CloseEpic() < 1;
    } catch (const PigrelayError& error) {
        report(error);
    }
}

void EpicDispatch::setLines(const SectionTable* lines)
{
    m_reservePigeonholeGiven = false;
    m_wingPigeonholeGiven = false;
    if (!m_mbEpicOpen || !lines)
        return;
    bool pigeonholeZeroUsed = false;
    for (qsizetype row = 0; row < lines->rowCount(); ++row) {
        const Channel* channel = channelFor(lines->field(2, row).toUpper());
        const std::optional<double> number = ReadWholeNumber(lines->field(0, row));
        const std::optional<std::int32_t> pigeonhole = number ? ToInt32(*number) : std::nullopt;
        if (channel && channel->calls == Channel::Calls::PigeonholeOnly && pigeonhole)
            handDerivedPigeonhole(*channel, *pigeonhole);
        // A derived step's own line on pigeonhole 0 takes it too: the other step must not
        // write over it there.
        if (channel && number.value_or(-1) == 0)
            pigeonholeZeroUsed = true;
    }
    // Without a line of their own the reserve and wing steps go to pigeonhole 0, the library's
    // first, unless a line already shows something there.
    if (!pigeonholeZeroUsed) {
        const PigrelayFunctions& pigrelay = m_pigrelay.functions();
        if (!std::exchange(m_reservePigeonholeGiven, true))
            pigrelay.INTRESPHCallRet(0);
        if (!std::exchange(m_wingPigeonholeGiven, true))
            pigrelay.INTWINGPHCallRet(0);
    }
}

void EpicDispatch::SendEpicValues(SectionTable& table)
{
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        if (isUnderTest(row))
            continue;
        // The card is open only once Pigrelay is bound whole, so no call here can be missing.
        if (const Channel* channel = channelFor(table.field(2, row).toUpper()))
            sendLine(table, row, *channel);
        if (m_options.screenUpdate())
            m_epicGrid.setText(int(row) + 1, 3, table.field(3, row));
    }
}

void EpicDispatch::TestLine(const SectionTable& table, qsizetype row, bool on)
{
    m_epicGrid.setText(int(row) + 1, 3, on ? QStringLiteral("255") : table.field(3, row));
    const std::optional<double> number = ReadWholeNumber(table.field(0, row));
    const std::optional<std::int32_t> pigeonhole = number ? ToInt32(*number) : std::nullopt;
    if (!m_mbEpicOpen || !pigeonhole)
        return;
    // The RPM channel sends its value's low byte unconverted; each pass sets its own pigeonhole.
    const PigrelayFunctions::ValueChannel& channel = m_pigrelay.functions().RPM;
    channel.PHCallRet(*pigeonhole);
    channel.CallRet(on ? 255 : 0);
    channel.SendPH();
}

void EpicDispatch::sendLine(SectionTable& table, qsizetype row, const Channel& channel)
{
    using Shown = Channel::Shown;
    const bool pigeonholeOnly = channel.calls == Channel::Calls::PigeonholeOnly;
    std::optional<std::int32_t> pigeonhole;
    if (m_mbEpicOpen || pigeonholeOnly) {
        const std::optional<double> number = ReadWholeNumber(table.field(0, row));
        pigeonhole = number ? ToInt32(*number) : std::nullopt;
        if (!pigeonhole) {
            qCDebug(lcEpic) << "line" << row << "has no usable pigeonhole; skipped";
            return;
        }
    }

    double value = channel.fixedValue;
    if (channel.shown != Shown::Fixed) {
        FlightDataObject* object = m_data.flightDataObject();
        if (!object)
            throw NothingToWorkOn("no flight-data object");
        value = object->readNumber(channel.field);
        if (channel.addedField)
            value += object->readNumber(*channel.addedField);
    }

    switch (channel.shown) {
    case Shown::ActiveFlag:
        table.setField(3, row, value == 0 ? QStringLiteral("InActive") : QStringLiteral("Sending"));
        break;
    case Shown::Rounded:
        table.setField(3, row, DecimalText(RoundToDecimals(value, channel.decimals)));
        break;
    case Shown::AsRead:
    case Shown::Fixed:
        table.setField(3, row, DecimalText(value));
        break;
    case Shown::NegatedDegrees:
        table.setField(
            3, row, DecimalText(RoundToDecimals(0 - value * kDegreesPerRadian, channel.decimals)));
        value *= kDegreesPerRadian; // the card takes the attitude with its own sign
        break;
    }

    if (!m_mbEpicOpen)
        return;
    const std::optional<std::int32_t> cardValue = ToInt32(value);
    if (!cardValue) {
        qCDebug(lcEpic) << "line" << row << "value does not fit 32 bits; not sent";
        return;
    }
    callCard(channel, *pigeonhole, *cardValue);
}

void EpicDispatch::handDerivedPigeonhole(const Channel& channel, std::int32_t pigeonhole)
{
    const PigrelayFunctions& pigrelay = m_pigrelay.functions();
    if (channel.derived == Channel::Derived::FuelReserve) {
        pigrelay.INTRESPHCallRet(pigeonhole);
        m_reservePigeonholeGiven = true;
    } else {
        pigrelay.INTWINGPHCallRet(pigeonhole);
        m_wingPigeonholeGiven = true;
    }
}

void EpicDispatch::callCard(const Channel& channel, std::int32_t pigeonhole, std::int32_t value)
{
    const PigrelayFunctions& pigrelay = m_pigrelay.functions();
    switch (channel.calls) {
    case Channel::Calls::WordToPigeonhole:
        (pigrelay.*channel.word).PHCallRet(pigeonhole);
        (pigrelay.*channel.word).SendPH(value);
        return;
    case Channel::Calls::PigeonholeThenValue:
        (pigrelay.*channel.value).PHCallRet(pigeonhole);
        (pigrelay.*channel.value).CallRet(value);
        (pigrelay.*channel.value).SendPH();
        break;
    case Channel::Calls::ValueThenPigeonhole:
        (pigrelay.*channel.value).CallRet(value);
        (pigrelay.*channel.value).PHCallRet(pigeonhole);
        (pigrelay.*channel.value).SendPH();
        break;
    case Channel::Calls::PigeonholeOnly:
        handDerivedPigeonhole(channel, pigeonhole);
        return;
    }
    if (channel.derived == Channel::Derived::FuelReserve && m_reservePigeonholeGiven)
        pigrelay.SendFUELRESPH();
    if (channel.derived == Channel::Derived::InternalWing && m_wingPigeonholeGiven)
        pigrelay.SendINTWINGPH();
}

} // namespace glimrow
