#pragma once

// The flight data record: the cockpit state as the data server publishes it. Field names are
// the data server's property names, spelled exactly as it spells them (`Flarecount`,
// `UFCTChan`, `AUXTChan`), because the D-Bus object is read by these names.

#include <QStringView>

#include <cstdint>
#include <optional>
#include <span>

namespace glimrow {

enum class FlightDataField {
    LightBits,
    LightBits2,
    LightBits3,
    SpeedBrake,
    VantorAy,
    RPM,
    RPM2,
    OilPressure,
    OilPressure2,
    NozzlePos,
    NozzlePos2,
    FTIT,
    FTIT2,
    FuelFlow,
    InternalFuel,
    ExternalFuel,
    EPUFuel,
    Pitch,
    Roll,
    Alpha,
    Mach,
    KIAS,
    GS,
    ShipDown,
    ShipDownRate,
    ChaffCount,
    Flarecount,
    UFCTChan,
    AUXTChan,
    DEDLines,
    Invert,
    PFLLines,
    PFLInvert,
};

// How a field travels on the data server's D-Bus object.
enum class FlightDataType {
    Int32,   // light-bit words, counts and channels
    Double,  // every other number
    Boolean, // VantorAy
    Text,    // the screen texts, characters 0 to 255
};

struct FlightDataFieldInfo {
    FlightDataField field;
    const char* name;
    FlightDataType type;
};

// Every field of the record, in the record's order.
std::span<const FlightDataFieldInfo> flightDataFields();
const FlightDataFieldInfo& fieldInfo(FlightDataField field);
std::optional<FlightDataField> fieldFromName(QStringView name);

// The five fields the window keeps itself. The lamp outputs and the update gate read them in
// both connection modes; the stream decoder (TCP/IP) or the update cycle and the watchdog
// (D-Bus) write them. All zero / false until the first data arrives.
struct FlightDataCache {
    std::int32_t LightBits = 0;
    std::int32_t LightBits2 = 0;
    std::int32_t LightBits3 = 0;
    float SpeedBrake = 0.0f;
    bool VantorAy = false;

    // Every field the same, bit for bit (a speed brake that is not a number equals itself).
    bool sameValues(const FlightDataCache& other) const;
};

} // namespace glimrow
