#include "epic/EpicDispatch.h"

#include "common/NumberText.h"

#include <QLoggingCategory>

#include <string>

namespace glimrow {

Q_LOGGING_CATEGORY(lcEpic, "glimrow.epic", QtWarningMsg)

namespace {

constexpr double kDegreesPerRadian = 57.29577951;
const QString kProductName = QStringLiteral("Vantor Lumex Mon - ME");

} // namespace

// How a keyword's value is shown, and which Pigrelay channel carries it.
struct EpicDispatch::Channel {
    enum class Shown { ActiveFlag, Rounded, AsRead, NegatedDegrees, Fixed };
    enum class Calls { WordToPigeonhole, PigeonholeThenValue, ValueThenPigeonhole, PigeonholeOnly };

    const char* keyword;
    FlightDataField field;
    std::optional<FlightDataField> addedField; // TOTAL: internal plus external
    Shown shown;
    int decimals;        // Rounded, NegatedDegrees
    double fixedValue;   // Fixed
    const char* channel; // the Pigrelay channel name: RPM for RPMCallRet, RPMPHCallRet, SendRPMPH
    Calls calls;
    const char* derivedSend;
};

const EpicDispatch::Channel* EpicDispatch::channelFor(const QString& keyword)
{
    using F = FlightDataField;
    using S = Channel::Shown;
    using C = Channel::Calls;
    static const Channel channels[] = {
        {"LIGHTBITS", F::LightBits, {}, S::ActiveFlag, 0, 0, "LB", C::WordToPigeonhole, nullptr},
        {"LIGHTBITS2", F::LightBits2, {}, S::ActiveFlag, 0, 0, "LB2", C::WordToPigeonhole, nullptr},
        {"LIGHTBITS3", F::LightBits3, {}, S::ActiveFlag, 0, 0, "LB3", C::WordToPigeonhole, nullptr},
        {"RPM", F::RPM, {}, S::Rounded, 0, 0, "RPM", C::PigeonholeThenValue, nullptr},
        {"RPM2", F::RPM2, {}, S::Rounded, 0, 0, "RPM2", C::PigeonholeThenValue, nullptr},
        {"OILPRESSURE",
         F::OilPressure,
         {},
         S::Rounded,
         0,
         0,
         "OIL",
         C::ValueThenPigeonhole,
         nullptr},
        {"OILPRESSURE2",
         F::OilPressure2,
         {},
         S::Rounded,
         0,
         0,
         "OIL2",
         C::ValueThenPigeonhole,
         nullptr},
        {"CHAFFCOUNT",
         F::ChaffCount,
         {},
         S::AsRead,
         0,
         0,
         "CHAFF",
         C::ValueThenPigeonhole,
         nullptr},
        {"FLARECOUNT",
         F::Flarecount,
         {},
         S::AsRead,
         0,
         0,
         "FLARE",
         C::ValueThenPigeonhole,
         nullptr},
        {"PITCH", F::Pitch, {}, S::NegatedDegrees, 4, 0, "PITCH", C::ValueThenPigeonhole, nullptr},
        {"ROLL", F::Roll, {}, S::NegatedDegrees, 4, 0, "ROLL", C::ValueThenPigeonhole, nullptr},
        {"TOTAL", F::InternalFuel, F::ExternalFuel, S::Rounded, 0, 0, "TOTAL",
         C::ValueThenPigeonhole, "SendFUELRESPH"},
        {"INTERNALFUEL",
         F::InternalFuel,
         {},
         S::Rounded,
         0,
         0,
         "INTERNAL",
         C::ValueThenPigeonhole,
         "SendINTWINGPH"},
        {"EXTERNALFUEL",
         F::ExternalFuel,
         {},
         S::Rounded,
         0,
         0,
         "EXTERNAL",
         C::ValueThenPigeonhole,
         nullptr},
        {"INTWINGFUEL",
         F::InternalFuel,
         {},
         S::Fixed,
         0,
         1100,
         "INTWING",
         C::PigeonholeOnly,
         nullptr},
        {"INTRESFUEL", F::InternalFuel, {}, S::Fixed, 0, 900, "INTRES", C::PigeonholeOnly, nullptr},
        {"MACH", F::Mach, {}, S::Rounded, 1, 0, "MACH", C::ValueThenPigeonhole, nullptr},
        {"KIAS", F::KIAS, {}, S::Rounded, 0, 0, "KIAS", C::ValueThenPigeonhole, nullptr},
        {"GS", F::GS, {}, S::Rounded, 2, 0, "GS", C::ValueThenPigeonhole, nullptr},
        {"NOZZLE", F::NozzlePos, {}, S::Rounded, 0, 0, "NOZZLE", C::ValueThenPigeonhole, nullptr},
        // The second nozzle's keyword is spelled with three Z; NOZZLE2 is not recognised.
        {"NOZZZLE2",
         F::NozzlePos2,
         {},
         S::Rounded,
         0,
         0,
         "NOZZLE2",
         C::ValueThenPigeonhole,
         nullptr},
        {"FTIT", F::FTIT, {}, S::Rounded, 0, 0, "FTIT", C::ValueThenPigeonhole, nullptr},
        {"FTIT2", F::FTIT2, {}, S::Rounded, 0, 0, "FTIT2", C::ValueThenPigeonhole, nullptr},
        {"SPEEDBRAKE",
         F::SpeedBrake,
         {},
         S::Rounded,
         2,
         0,
         "SPEEDBRAKE",
         C::ValueThenPigeonhole,
         nullptr},
        {"EPUFUEL", F::EPUFuel, {}, S::Rounded, 0, 0, "EPUFUEL", C::ValueThenPigeonhole, nullptr},
        {"FUELFLOW",
         F::FuelFlow,
         {},
         S::Rounded,
         0,
         0,
         "FUELFLOW",
         C::ValueThenPigeonhole,
         nullptr},
        {"UFC", F::UFCTChan, {}, S::AsRead, 0, 0, "UFC", C::ValueThenPigeonhole, nullptr},
        {"AUX", F::AUXTChan, {}, S::AsRead, 0, 0, "AUX", C::ValueThenPigeonhole, nullptr},
    };
    for (const Channel& channel : channels) {
        if (keyword == QLatin1StringView(channel.keyword))
            return &channel;
    }
    return nullptr;
}

EpicDispatch::EpicDispatch(PigrelayApi& pigrelay, OutputWindow& window, FlightDataSource& data,
                           PhidgetDeviceManager& devices, MessageReporter& messages)
    : m_pigrelay(pigrelay), m_window(window), m_data(data), m_devices(devices), m_messages(messages)
{
}

void EpicDispatch::report(const PigrelayError& error)
{
    // Said once per missing piece; the next "Open Epic" may say it again.
    if (m_reported.insert(error.what()).second)
        m_messages.showMessage(kProductName, QString::fromStdString(error.what()));
}

void EpicDispatch::OpenEpicCard()
{
    m_reported.clear();
    int opened = 0;
    try {
        opened = m_pigrelay.call("OpenEpic");
    } catch (const PigrelayError& error) {
        m_mbEpicOpen = false;
        report(error);
        return;
    }
    m_mbEpicOpen = opened >= 1;
    if (!m_mbEpicOpen)
        m_messages.showMessage(kProductName, QStringLiteral("Epic Not Detected"));
    m_devices.ListDevice(1, QStringLiteral("EPIC USB"), QString(), QString());
}

void EpicDispatch::CloseEpicCard()
{
    try {
        m_mbEpicOpen = m_pigrelay.call("CloseEpic") < 1;
    } catch (const PigrelayError& error) {
        report(error);
    }
}

void EpicDispatch::SendEpicValues(SectionTable& table)
{
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        if (const Channel* channel = channelFor(table.field(2, row).toUpper())) {
            try {
                sendLine(table, row, *channel);
            } catch (const PigrelayError& error) {
                m_mbEpicOpen = false; // a piece of Pigrelay is missing: stop using the card
                report(error);
            }
        }
        if (m_window.screenUpdate())
            m_window.grid(kEpicGrid).setText(int(row) + 1, 3, table.field(3, row));
    }
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
            throw FlightDataError("no flight-data object");
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

void EpicDispatch::callCard(const Channel& channel, std::int32_t pigeonhole, std::int32_t value)
{
    const std::string name = channel.channel;
    const std::string valueSetter = name + "CallRet";
    const std::string pigeonholeSetter = name + "PHCallRet";
    const std::string send = "Send" + name + "PH";
    switch (channel.calls) {
    case Channel::Calls::WordToPigeonhole:
        m_pigrelay.call(pigeonholeSetter.c_str(), pigeonhole);
        m_pigrelay.call(send.c_str(), value);
        break;
    case Channel::Calls::PigeonholeThenValue:
        m_pigrelay.call(pigeonholeSetter.c_str(), pigeonhole);
        m_pigrelay.call(valueSetter.c_str(), value);
        m_pigrelay.call(send.c_str());
        break;
    case Channel::Calls::ValueThenPigeonhole:
        m_pigrelay.call(valueSetter.c_str(), value);
        m_pigrelay.call(pigeonholeSetter.c_str(), pigeonhole);
        m_pigrelay.call(send.c_str());
        break;
    case Channel::Calls::PigeonholeOnly:
        m_pigrelay.call(pigeonholeSetter.c_str(), pigeonhole);
        if (name == "INTRES")
            m_reservePigeonholeGiven = true;
        else
            m_wingPigeonholeGiven = true;
        break;
    }
    if (channel.derivedSend) {
        const bool given = std::string(channel.derivedSend) == "SendFUELRESPH"
                               ? m_reservePigeonholeGiven
                               : m_wingPigeonholeGiven;
        if (given)
            m_pigrelay.call(channel.derivedSend);
    }
}

} // namespace glimrow
