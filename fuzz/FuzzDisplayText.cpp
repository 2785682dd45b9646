// Fuzz target: rendering a character screen and picking lines out of it. The first byte
// chooses the line; the rest is the screen text (characters 0 to 255).

#include "phidget/DisplayText.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QString screen =
        QString::fromLatin1(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QString rendered = glimrow::BuildDisplay(screen, screen);
    if (rendered.count(u'\r') > 5)
        std::abort(); // five line ends at most
    const QString line = glimrow::GetDisplayLine(rendered, int(data[0]) - 2);
    if (line.contains(u'\r') || line.startsWith(u' ') || line.endsWith(u' '))
        std::abort();
    return 0;
}
