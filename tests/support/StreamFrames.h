#pragma once

// A frame of the data server's stream: "@", fields 1 to 80 each ended by "@", then the
// active flag. Fields not given are "0".

#include <QByteArray>

#include <map>

namespace glimrow::test {

inline QByteArray streamFrame(const std::map<int, QByteArray>& fields = {},
                              const QByteArray& flag = "1")
{
    QByteArray frame = "@";
    for (int field = 1; field <= 80; ++field) {
        const auto given = fields.find(field);
        frame += (given != fields.end() ? given->second : QByteArray("0")) + '@';
    }
    return frame + flag;
}

} // namespace glimrow::test
