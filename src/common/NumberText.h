#pragma once

// The number-text rules that every part of the program shares: how a number is read from
// text (configuration fields, stream fields, label texts), how it becomes an integer, and how
// it is written back as text. One implementation, so a lamp, a gauge and a pigeonhole never
// disagree about what "12.5" means.

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace glimrow {

// The longest leading number of the text. Spaces, tabs and line feeds are skipped wherever they
// stand ("1 2" reads as 12); then an optional sign, digits with at most one "." (whatever the
// locale) and an optional exponent (E, optional sign, digits). "&H" and "&O" start a
// hexadecimal or octal integer; a literal that fits in 32 bits is taken as the signed 32-bit
// word it spells, so "&HFFFFFFFF" is -1. Text after the number is ignored; no number gives 0.
// A decimal number beyond the double range gives an infinity of its sign.
double ReadNumber(QStringView text);
// The same rule over 8-bit text (one byte is one character), for data received from a peer.
double ReadNumber(QByteArrayView latin1Text);

// The text as a number when it is one and nothing else (blanks around it allowed): " 2 " and
// "&H10" are numbers, "" and "2abc" are not. For fields whose value must be given exactly.
std::optional<double> ReadWholeNumber(QStringView text);

// Rounds to the nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double value);

// Rounds to the given number of decimals (0 to 15), halves to the even digit. The decision is
// taken on the exact binary value, so 2.675 (stored as 2.67499999...) gives 2.67.
double RoundToDecimals(double value, int decimals);

// Rounded halves to even, then range-checked: no value when the result does not fit (or the
// value is not a number). Callers decide what a failed conversion means for them.
std::optional<std::int32_t> ToInt32(double value);
std::optional<std::int16_t> ToInt16(double value);

// Nearest single-precision value; a value beyond the single range becomes an infinity of its
// sign (a plain cast would be undefined there).
float ToSingle(double value);

// The patterns "#####0" and "###0", which write the same thing: the value rounded to a whole
// number (halves to even), at least one digit, no separators. Non-finite values give "".
QString FormatWholeNumber(double value);

// The pattern "0.##0": at least one whole digit, a point and three decimals ("1.000").
// Non-finite values give "".
QString FormatThreeDecimals(double value);

// Plain decimal text for a number, as the grids show values: 87, 0.9, -5.7296, 1E+20.
// At most 15 significant digits, so sums like 0.1 + 0.2 show as 0.3; a single-precision
// value is written with 7 (1.03f shows as 1.03).
QString DecimalText(double value);
QString DecimalText(float value);

} // namespace glimrow
