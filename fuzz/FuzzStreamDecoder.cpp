// Fuzz target: the stream framer and decoder on any bytes a peer could send, in two pieces cut
// where the first byte says, and the decoder alone on the same bytes as one frame.

#include "data/StreamDecoder.h"
#include "data/StreamFramer.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    glimrow::FlightDataCache cache;
    glimrow::StreamDecoder::decode(bytes, cache);

    const qsizetype cut = bytes.isEmpty() ? 0 : qMin<qsizetype>(std::uint8_t(bytes[0]), size);
    glimrow::StreamFramer framer;
    for (const QByteArrayView piece : {bytes.first(cut), bytes.sliced(cut)}) {
        if (const std::optional<QByteArray> frame = framer.take(piece))
            glimrow::StreamDecoder::decode(*frame, cache);
    }
    return 0;
}
