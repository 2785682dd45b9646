#include "data/FlightDataRecord.h"

#include <QLatin1StringView>

#include <array>
#include <bit>

namespace glimrow {
namespace {

using enum FlightDataField;
using enum FlightDataType;

constexpr std::array<FlightDataFieldInfo, 33> kFields{{
    {LightBits, "LightBits", Int32},
    {LightBits2, "LightBits2", Int32},
    {LightBits3, "LightBits3", Int32},
    {SpeedBrake, "SpeedBrake", Double},
    {VantorAy, "VantorAy", Boolean},
    {RPM, "RPM", Double},
    {RPM2, "RPM2", Double},
    {OilPressure, "OilPressure", Double},
    {OilPressure2, "OilPressure2", Double},
    {NozzlePos, "NozzlePos", Double},
    {NozzlePos2, "NozzlePos2", Double},
    {FTIT, "FTIT", Double},
    {FTIT2, "FTIT2", Double},
    {FuelFlow, "FuelFlow", Double},
    {InternalFuel, "InternalFuel", Double},
    {ExternalFuel, "ExternalFuel", Double},
    {EPUFuel, "EPUFuel", Double},
    {Pitch, "Pitch", Double},
    {Roll, "Roll", Double},
    {Alpha, "Alpha", Double},
    {Mach, "Mach", Double},
    {KIAS, "KIAS", Double},
    {GS, "GS", Double},
    {ShipDown, "ShipDown", Double},
    {ShipDownRate, "ShipDownRate", Double},
    {ChaffCount, "ChaffCount", Int32},
    {Flarecount, "Flarecount", Int32},
    {UFCTChan, "UFCTChan", Int32},
    {AUXTChan, "AUXTChan", Int32},
    {DEDLines, "DEDLines", Text},
    {Invert, "Invert", Text},
    {PFLLines, "PFLLines", Text},
    {PFLInvert, "PFLInvert", Text},
}};

// The table is indexed by the enum; keep them in step.
constexpr bool tableFollowsEnum()
{
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        if (static_cast<std::size_t>(kFields[i].field) != i)
            return false;
    }
    return static_cast<std::size_t>(PFLInvert) + 1 == kFields.size();
}
static_assert(tableFollowsEnum());

} // namespace

std::span<const FlightDataFieldInfo> flightDataFields()
{
    return kFields;
}

const FlightDataFieldInfo& fieldInfo(FlightDataField field)
{
    return kFields[static_cast<std::size_t>(field)];
}

std::optional<FlightDataField> fieldFromName(QStringView name)
{
    for (const FlightDataFieldInfo& info : kFields) {
        if (name == QLatin1StringView(info.name))
            return info.field;
    }
    return std::nullopt;
}

bool FlightDataCache::sameValues(const FlightDataCache& other) const
{
    return LightBits == other.LightBits && LightBits2 == other.LightBits2 &&
           LightBits3 == other.LightBits3 &&
           std::bit_cast<std::uint32_t>(SpeedBrake) ==
               std::bit_cast<std::uint32_t>(other.SpeedBrake) &&
           VantorAy == other.VantorAy;
}

} // namespace glimrow
