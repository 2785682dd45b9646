#pragma once

// What the EPICIO stand-in's virtual card holds in one pigeonhole.

#include "EPICIOVirtualCard.h"

#include <array>
#include <optional>

namespace glimrow::test {

struct WrittenPigeonhole {
    std::array<int, 4> bytes;
    int writes;
};

// Nothing when the pigeonhole was never written.
inline std::optional<WrittenPigeonhole> writtenPigeonhole(int number)
{
    for (int index = 0; index < EpicioVirtual_PigeonholeCount(); ++index) {
        int found = 0;
        int writes = 0;
        unsigned char bytes[4] = {};
        EpicioVirtual_Pigeonhole(index, &found, bytes, &writes);
        if (found == number)
            return WrittenPigeonhole{{bytes[0], bytes[1], bytes[2], bytes[3]}, writes};
    }
    return std::nullopt;
}

// Its four bytes, or four -1 when it was never written.
inline std::array<int, 4> pigeonholeBytes(int number)
{
    const auto written = writtenPigeonhole(number);
    return written ? written->bytes : std::array<int, 4>{-1, -1, -1, -1};
}

} // namespace glimrow::test
