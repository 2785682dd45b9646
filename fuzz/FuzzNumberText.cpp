// Fuzz target: the number-text rules, and the conversions and formats of what they read.

#include "common/NumberText.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const double value = glimrow::ReadNumber(bytes);
    if (std::isnan(value))
        std::abort(); // the reading rule never makes a NaN
    const QString text = QString::fromLatin1(bytes);
    if (glimrow::ReadNumber(text) != value)
        std::abort(); // both entry points follow one rule
    if (const auto whole = glimrow::ReadWholeNumber(text); whole && *whole != value)
        std::abort();
    (void)glimrow::ToInt32(value);
    (void)glimrow::ToInt16(value);
    (void)glimrow::ToSingle(value);
    (void)glimrow::RoundToDecimals(value, int(size % 6));
    (void)glimrow::FormatWholeNumber(value);
    (void)glimrow::FormatThreeDecimals(value);
    (void)glimrow::DecimalText(value);
    return 0;
}
