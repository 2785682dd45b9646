#pragma once

// This process's resident memory, as the kernel reports it, and whether it means anything.

#include <QFile>

namespace glimrow::test {

// AddressSanitizer keeps freed memory in quarantine, so resident memory says nothing there.
#ifdef GLIMROW_ADDRESS_SANITIZER
inline constexpr bool kResidentMemoryMeaningful = false;
#else
inline constexpr bool kResidentMemoryMeaningful = true;
#endif

inline long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace glimrow::test
