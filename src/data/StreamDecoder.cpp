#include "data/StreamDecoder.h"

#include "common/NumberText.h"

namespace glimrow {
namespace {

void storeLightBits(QByteArrayView text, std::int32_t& word)
{
    if (const std::optional<std::int32_t> value = ToInt32(ReadNumber(text)))
        word = *value;
}

void storeField(int field, QByteArrayView text, FlightDataCache& cache)
{
    switch (field) {
    case StreamDecoder::kSpeedBrakeField:
        cache.SpeedBrake = ToSingle(ReadNumber(text));
        break;
    case StreamDecoder::kLightBitsField:
        storeLightBits(text, cache.LightBits);
        break;
    case StreamDecoder::kLightBits2Field:
        storeLightBits(text, cache.LightBits2);
        break;
    case StreamDecoder::kLightBits3Field:
        storeLightBits(text, cache.LightBits3);
        break;
    default:
        break;
    }
}

} // namespace

void StreamDecoder::decode(QByteArrayView block, FlightDataCache& cache)
{
    if (block.isEmpty()) {
        cache.VantorAy = false;
        return;
    }
    qsizetype position = 0; // on the separator in front of the next field
    for (int field = 1; field <= kFieldsBeforeFlag; ++field) {
        const qsizetype separator = block.indexOf('@', position + 1);
        if (separator < 0)
            return; // a short block: later fields keep their values
        if (field >= kSpeedBrakeField && field <= kLightBits3Field)
            storeField(field, block.sliced(position + 1, separator - position - 1), cache);
        position = separator;
    }
    cache.VantorAy =
        ReadNumber(
            block.sliced(position + 1).first(qMin<qsizetype>(1, block.size() - position - 1))) != 0;
}

} // namespace glimrow
