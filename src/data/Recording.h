#pragma once

// What `glimrow --record` writes and `vantor-sim --replay` reads: JSON Lines, one JSON object
// per line. The first line says what the file is and what made it; every further line is one
// arrival from the data server, with `t`, the milliseconds since the recording started on a
// monotonic clock:
//
//   {"format":"glimrow-recording","version":1,"program":"glimrow 1.8.0","connection":"tcp"}
//   {"t":12,"stream":"@0@0@...@1\r\n"}      one read of the stream: its bytes, each byte the
//                                           character of the same number (U+0000 to U+00FF)
//   {"t":112,"object":{"LightBits":5,...},"types":{"LightBits":"i",...}}
//                                           one snapshot of the flight-data object: every
//                                           property and its D-Bus type
//
// A value that JSON cannot hold (a number that is not finite) is written as null.

#include <QByteArray>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace glimrow::recording {

inline constexpr char kFormat[] = "glimrow-recording";
inline constexpr int kVersion = 1;
// A line longer than this is damaged: no read of the stream or snapshot comes near it.
inline constexpr qsizetype kMaxLineBytes = 16 * 1024 * 1024;

QByteArray headerLine(const QString& program, const QString& connection);
QByteArray streamLine(qint64 ms, const QByteArray& bytes);
QByteArray objectLine(qint64 ms, const QVariantMap& snapshot);

// Why `line` is not the first line of a recording this program can read, or "".
QString headerProblem(const QByteArray& line);

struct Entry {
    qint64 ms = 0;
    std::optional<QByteArray> stream; // a read of the stream, or
    QVariantMap object;               // a snapshot, each value of its recorded type
};
// One line after the header; nothing, and why in `problem`, when it is damaged.
std::optional<Entry> parseLine(const QByteArray& line, QString* problem);

} // namespace glimrow::recording
