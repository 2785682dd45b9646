#include "phidget/GaugeOutputs.h"

#include "common/NumberText.h"
#include "common/SkippedStep.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cmath>

namespace glimrow {

Q_LOGGING_CATEGORY(lcGauges, "glimrow.gauges", QtWarningMsg)

namespace {

constexpr double kDegreesPerRadian = 57.29577951;

} // namespace

GaugeOutputs::GaugeOutputs(FlightDataSource& data, OutputOptions& options, OutputGrid& gaugeGrid,
                           GSuitPanel panel, const PhidgetDeviceManager& devices, BoardSlot servo)
    : m_data(data), m_options(options), m_gaugeGrid(gaugeGrid), m_panel(panel), m_devices(devices),
      m_servo(servo)
{
}

FlightDataObject& GaugeOutputs::object()
{
    FlightDataObject* object = m_data.flightDataObject();
    if (!object)
        throw NothingToWorkOn("no flight-data object");
    return *object;
}

// Rounding first, then the sign change, then the limits.
std::optional<double> GaugeOutputs::gaugeValue(const QString& keyword)
{
    const auto rounded = [this](FlightDataField field, double factor, int decimals) {
        return RoundToDecimals(object().readNumber(field) * factor, decimals);
    };
    using F = FlightDataField;
    if (keyword == u"KIAS")
        return rounded(F::KIAS, 1, 0);
    if (keyword == u"ALT")
        return std::max(0.0, 0 - rounded(F::ShipDown, 1, 0));
    if (keyword == u"ATTITUDE")
        return 0 - rounded(F::Pitch, kDegreesPerRadian, 2);
    if (keyword == u"VVI")
        return std::clamp(0 - rounded(F::ShipDownRate, 0.28571429, 2), -2000.0, 2000.0);
    if (keyword == u"AOA")
        return std::clamp(0 - rounded(F::Alpha, 1.71428571, 2), -60.0, 60.0);
    if (keyword == u"RPM")
        return rounded(F::RPM, 1, 0);
    if (keyword == u"FTIT")
        return rounded(F::FTIT, 1, 0);
    if (keyword == u"NOZPOS")
        return rounded(F::NozzlePos, 1, 0);
    if (keyword == u"OILPRES")
        return rounded(F::OilPressure, 1, 0);
    if (keyword == u"SPEEDBRAKE")
        return rounded(F::SpeedBrake, 1, 2);
    if (keyword == u"EPUFUEL")
        return rounded(F::EPUFuel, 1, 0);
    return std::nullopt;
}

const QStringList& GaugeOutputs::gaugeKeywords()
{
    static const QStringList keywords{
        QStringLiteral("KIAS"),       QStringLiteral("ALT"),    QStringLiteral("ATTITUDE"),
        QStringLiteral("VVI"),        QStringLiteral("AOA"),    QStringLiteral("RPM"),
        QStringLiteral("FTIT"),       QStringLiteral("NOZPOS"), QStringLiteral("OILPRES"),
        QStringLiteral("SPEEDBRAKE"), QStringLiteral("EPUFUEL")};
    return keywords;
}

void GaugeOutputs::ComputeGauges(SectionTable& table)
{
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        if (const std::optional<double> value = gaugeValue(table.field(2, row).toUpper()))
            table.setField(3, row, DecimalText(*value));
    }
}

void GaugeOutputs::ShowGauges(const SectionTable& table)
{
    if (m_options.screenUpdate()) {
        for (qsizetype row = 0; row < table.rowCount(); ++row)
            m_gaugeGrid.setText(int(row) + 1, 3, table.field(3, row));
    }
    m_options.letEventsRun();
}

void GaugeOutputs::setGSuitFormula(int motor, std::optional<GSuitFormula> formula)
{
    m_formulas.at(std::size_t(motor)) = formula;
}

void GaugeOutputs::DriveGSuit()
{
    const double loadFactor = object().readNumber(FlightDataField::GS);
    const QString panelText = FormatThreeDecimals(loadFactor);
    if (m_options.screenUpdate())
        m_panel.gForce.setText(panelText);
    if (m_devices.servoPresent()) {
        const std::shared_ptr<PhidgetServo> servo = m_servo.board<PhidgetServo>();
        // Each motor on its own: one that cannot be driven leaves the other to be.
        for (int motor : {0, 1}) {
            runSkippingFailure(lcGauges(), motor == 0 ? "G-suit motor 1" : "G-suit motor 2",
                               [&] { driveMotor(motor, loadFactor, servo.get()); });
        }
    }
    m_options.letEventsRun();
}

void GaugeOutputs::driveMotor(int motor, double loadFactor, PhidgetServo* servo)
{
    // Without a formula the motor is told the load factor as it is, within its range.
    double sent = loadFactor;
    if (const auto& formula = m_formulas[std::size_t(motor)])
        sent = (*formula)(loadFactor);
    if (!std::isfinite(sent))
        return; // no position to go to: the motor stays where it is
    if (servo) {
        const auto [lowest, highest] = servo->MotorPositionRange(motor);
        sent = std::clamp(sent, lowest, highest);
        servo->setMotorPosition(motor, ToSingle(sent));
    }
    // What was sent, as plain text: 1.500 shows as 1.5.
    if (m_options.screenUpdate()) {
        OutputLabel& shownOn = motor == 0 ? m_panel.servoOutput1 : m_panel.servoOutput2;
        shownOn.setText(DecimalText(ReadNumber(FormatThreeDecimals(sent))));
    }
}

} // namespace glimrow
