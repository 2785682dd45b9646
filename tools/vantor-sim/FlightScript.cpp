#include "FlightScript.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace glimrow::sim {
namespace {

double wave(double seconds, double period)
{
    return std::sin(2 * std::numbers::pi * seconds / period);
}

// Rises from 0 to 1 and back over `period`.
double triangle(double seconds, double period)
{
    const double phase = std::fmod(seconds, period) / period;
    return phase < 0.5 ? phase * 2 : 2 - phase * 2;
}

// Five screen lines, cut and padded to the widths the window's renderer breaks them at.
QString screen(const std::array<QString, 5>& lines)
{
    constexpr std::array<int, 5> widths{27, 26, 25, 26, 26};
    QString text;
    for (std::size_t i = 0; i < lines.size(); ++i)
        text += lines[i].leftJustified(widths[i], u' ', true);
    return text;
}

// Marks the characters of `text` that match `marked` with "*" (inverse video), others " ".
QString inverseMask(const QString& text, const QString& marked)
{
    QString mask(text.size(), u' ');
    for (qsizetype at = text.indexOf(marked); at >= 0 && !marked.isEmpty();
         at = text.indexOf(marked, at + marked.size())) {
        for (qsizetype i = at; i < at + marked.size(); ++i)
            mask[i] = u'*';
    }
    return mask;
}

std::int32_t warningLamps(double t)
{
    const int step = int(t * 2) % 32; // a lamp moves on every half second
    std::uint32_t bits = 1u << step;
    if (int(t) % 2 == 0)
        bits |= 1u; // master caution blinks
    return std::int32_t(bits);
}

std::int32_t cautionLamps(double t, int chaff, int flares)
{
    std::uint32_t bits = 1u << (int(t) % 6);
    if (t > 5)
        bits |= 64u; // countermeasures go
    if (chaff < 10)
        bits |= 1024u;
    if (flares < 10)
        bits |= 2048u;
    if (t > 30 && t < 60)
        bits |= 65536u; // jammer on
    bits |= 1u << (12 + int(t / 3) % 6);
    return std::int32_t(bits);
}

std::int32_t gearLamps(double t, double speedBrake)
{
    std::uint32_t bits = 0;
    if (t < 15 || t > 105)
        bits |= 7u; // three green
    if (speedBrake > 0)
        bits |= 16u;
    if (int(t) % 10 == 0)
        bits |= 32u;
    return std::int32_t(bits);
}

} // namespace

QVariantMap FlightScript::recordAt(double seconds)
{
    const double t = std::fmod(std::max(0.0, seconds), kPeriodSeconds);
    const double rpm = 75 + 25 * wave(t, 40);
    const double speedBrake = triangle(t, 20);
    const int chaff = std::max(0, 60 - int(t / 2));
    const int flares = std::max(0, 30 - int(t / 4));
    const int ufc = 1 + int(t / 10) % 126;
    const int aux = 126 - int(t / 15) % 126;
    const double altitude = 5000 + 4000 * wave(t, 60);

    const QString ded =
        screen({QStringLiteral("  UHF 242.00  STPT \x01%1  AUTO").arg(int(t / 8) % 25 + 1),
                QStringLiteral("      COM2  %1.%2")
                    .arg(118 + int(t) % 18)
                    .arg(int(t * 7) % 100, 2, 10, QLatin1Char('0')),
                QStringLiteral("  VHF  1    \x02  %1:%2")
                    .arg(int(t / 60), 2, 10, QLatin1Char('0'))
                    .arg(int(t) % 60, 2, 10, QLatin1Char('0')),
                QStringLiteral("  TACAN %1X   ALOW %2").arg(ufc).arg(int(altitude / 100) * 10),
                QStringLiteral("  IFF  M3 %1  BNGO 2000")
                    .arg(4000 + int(t) % 8, 4, 10, QLatin1Char('0'))});
    const char* const faults[] = {"FLCS BUS FAIL", "ENG A/I FAIL", "HYD SYS B",
                                  "FUEL LOW",      "RDR ALT FAIL", "AVIONICS FLT"};
    const QString pfl =
        screen({QStringLiteral("  FAULT LIST %1 OF 6").arg(int(t / 5) % 6 + 1),
                QStringLiteral("  \x01 %1").arg(QLatin1StringView(faults[int(t / 5) % 6])),
                QStringLiteral("  \x01 %1").arg(QLatin1StringView(faults[(int(t / 5) + 1) % 6])),
                QStringLiteral("  MASTER CAUTION \x02"), QStringLiteral("  ACK TO CLEAR")});

    QVariantMap record;
    record[QStringLiteral("SpeedBrake")] = speedBrake;
    record[QStringLiteral("LightBits")] = warningLamps(t);
    record[QStringLiteral("LightBits2")] = cautionLamps(t, chaff, flares);
    record[QStringLiteral("LightBits3")] = gearLamps(t, speedBrake);
    record[QStringLiteral("VantorAy")] = true;
    record[QStringLiteral("RPM")] = rpm;
    record[QStringLiteral("RPM2")] = rpm * 0.98;
    record[QStringLiteral("OilPressure")] = 20 + rpm * 0.4;
    record[QStringLiteral("OilPressure2")] = 19 + rpm * 0.4;
    record[QStringLiteral("NozzlePos")] = std::clamp(100 - rpm, 0.0, 100.0);
    record[QStringLiteral("NozzlePos2")] = std::clamp(98 - rpm, 0.0, 100.0);
    record[QStringLiteral("FTIT")] = 450 + 4 * rpm;
    record[QStringLiteral("FTIT2")] = 445 + 4 * rpm;
    record[QStringLiteral("FuelFlow")] = 1500 + 110 * rpm;
    record[QStringLiteral("InternalFuel")] = 7200 - 40 * t;
    record[QStringLiteral("ExternalFuel")] = std::max(0.0, 3000 - 50 * t);
    record[QStringLiteral("EPUFuel")] = 100 - t / 12;
    record[QStringLiteral("Pitch")] = 0.2 * wave(t, 30);
    record[QStringLiteral("Roll")] = 0.6 * wave(t, 17);
    record[QStringLiteral("Alpha")] = 5 + 4 * wave(t, 23);
    record[QStringLiteral("Mach")] = 0.65 + 0.3 * wave(t, 45);
    record[QStringLiteral("KIAS")] = 350 + 150 * wave(t, 45);
    record[QStringLiteral("GS")] = 1 + 3 * std::pow(wave(t, 25), 2);
    record[QStringLiteral("ShipDown")] = -altitude;
    record[QStringLiteral("ShipDownRate")] =
        -4000 * 2 * std::numbers::pi / 60 * std::cos(2 * std::numbers::pi * t / 60);
    record[QStringLiteral("ChaffCount")] = chaff;
    record[QStringLiteral("Flarecount")] = flares;
    record[QStringLiteral("UFCTChan")] = ufc;
    record[QStringLiteral("AUXTChan")] = aux;
    record[QStringLiteral("DEDLines")] = ded;
    record[QStringLiteral("Invert")] = inverseMask(ded, QStringLiteral("STPT"));
    record[QStringLiteral("PFLLines")] = pfl;
    record[QStringLiteral("PFLInvert")] = inverseMask(pfl, QStringLiteral("MASTER CAUTION"));
    return record;
}

QByteArray FlightScript::frameFor(const QVariantMap& record)
{
    const auto number = [&record](const char* name) {
        return QByteArray::number(record.value(QLatin1StringView(name)).toDouble(), 'g', 10);
    };
    QByteArray frame = "@";
    for (int field = 1; field <= 80; ++field) {
        switch (field) {
        case 28:
            frame += number("SpeedBrake");
            break;
        case 32:
            frame += number("LightBits");
            break;
        case 36:
            frame += number("LightBits2");
            break;
        case 37:
            frame += number("LightBits3");
            break;
        default:
            frame += '0'; // positions the program does not read
            break;
        }
        frame += '@';
    }
    frame += record.value(QStringLiteral("VantorAy")).toBool() ? '1' : '0';
    return frame;
}

} // namespace glimrow::sim
