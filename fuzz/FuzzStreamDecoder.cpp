// Fuzz target: the stream decoder on any block a peer could send.

#include "data/StreamDecoder.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    glimrow::FlightDataCache cache;
    glimrow::StreamDecoder::decode(
        QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)), cache);
    return 0;
}
