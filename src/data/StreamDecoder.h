#pragma once

// Decodes one frame of the data server's TCP/IP stream (as StreamFramer cuts it) into the
// window cache.
//
// A frame is a leading character (never examined), fields 1 to 80 each ended by "@", and
// field 81, of which only the first character counts. Field 28 is the speed brake, 32, 36 and
// 37 the three light-bit words; the first character of field 81 says whether the data server is
// active.

#include "data/FlightDataRecord.h"

#include <QByteArrayView>

namespace glimrow {

class StreamDecoder {
public:
    // The fields the decoder reads, by position after the leading character.
    static constexpr int kSpeedBrakeField = 28;
    static constexpr int kLightBitsField = 32;
    static constexpr int kLightBits2Field = 36;
    static constexpr int kLightBits3Field = 37;
    static constexpr int kFieldsBeforeFlag = 80;

    // Writes the fields the block carries into `cache`:
    // - a light-bit word whose value does not fit 32 bits after rounding keeps its old value;
    // - a speed brake beyond the single range becomes an infinity of its sign;
    // - a block that ends before its 80th separator leaves every later field, the activity
    //   flag included, as it was (an empty block clears the flag).
    static void decode(QByteArrayView block, FlightDataCache& cache);
};

} // namespace glimrow
