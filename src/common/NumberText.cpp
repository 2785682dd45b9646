#include "common/NumberText.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace glimrow {
namespace {

// Walks text of either character width with the reading rule; `at(i)` gives the character code.
template <typename CharAt> class NumberScanner {
public:
    NumberScanner(qsizetype size, CharAt at) : m_size(size), m_at(at) {}

    // True when the number read took the whole text (blanks after it excepted) and had digits.
    bool tookAllText()
    {
        skipBlanks();
        return m_pos == m_size && m_sawDigits;
    }

    double read()
    {
        skipBlanks();
        if (peek() == u'&') {
            const char16_t prefix = upper(peekAt(m_pos + 1));
            if (prefix == u'H' || prefix == u'O') {
                m_pos += 2;
                return readRadixInteger(prefix == u'H' ? 16 : 8);
            }
        }
        return readDecimal();
    }

private:
    static bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n'; }
    static bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
    static char16_t upper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

    char16_t peekAt(qsizetype i) const { return i < m_size ? char16_t(m_at(i)) : char16_t(0); }
    char16_t peek() const { return peekAt(m_pos); }
    void skipBlanks()
    {
        while (m_pos < m_size && isBlank(peek()))
            ++m_pos;
    }

    static int digitValue(char16_t c)
    {
        if (isDigit(c))
            return c - u'0';
        const char16_t u = upper(c);
        if (u >= u'A' && u <= u'F')
            return u - u'A' + 10;
        return -1;
    }

    double readRadixInteger(int radix)
    {
        constexpr std::uint64_t saturation = std::uint64_t(1) << 60;
        std::uint64_t value = 0;
        for (skipBlanks(); m_pos < m_size; skipBlanks()) {
            const int digit = digitValue(peek());
            if (digit < 0 || digit >= radix)
                break;
            if (value < saturation)
                value = value * std::uint64_t(radix) + std::uint64_t(digit);
            ++m_pos;
            m_sawDigits = true;
        }
        if (value <= 0xFFFFFFFFu)
            return double(std::int32_t(std::uint32_t(value)));
        return double(value);
    }

    // Appends digits (blanks between them skipped) to `out`; returns how many were taken.
    qsizetype appendDigits(std::string& out)
    {
        qsizetype taken = 0;
        for (skipBlanks(); m_pos < m_size && isDigit(peek()); skipBlanks()) {
            out.push_back(char(peek()));
            ++m_pos;
            ++taken;
        }
        return taken;
    }

    double readDecimal()
    {
        std::string number;
        if (peek() == u'+' || peek() == u'-') {
            if (peek() == u'-')
                number.push_back('-');
            ++m_pos;
        }
        const std::size_t mantissaStart = number.size();
        qsizetype digits = appendDigits(number);
        if (peek() == u'.') {
            number.push_back('.');
            ++m_pos;
            digits += appendDigits(number);
        }
        if (digits == 0)
            return 0.0;
        m_sawDigits = true;
        const std::string mantissa = number.substr(mantissaStart);
        const std::size_t lengthBeforeExponent = number.size();
        const long long exponent = readExponent(number);
        // Most fields are small whole numbers: read them exactly without the general parser,
        // which is most of what a cycle of lamp lines costs.
        if (number.size() == lengthBeforeExponent && digits <= 15 &&
            mantissa.find('.') == std::string::npos) {
            double whole = 0;
            for (char digit : mantissa)
                whole = whole * 10 + (digit - '0');
            return number.front() == '-' ? -whole : whole;
        }
        return convert(number, mantissa, exponent);
    }

    // Appends "e<sign><digits>" when a complete exponent follows; otherwise leaves the position
    // where it was, so "5E" and "5E+" read as 5.
    long long readExponent(std::string& number)
    {
        const qsizetype start = m_pos;
        if (upper(peek()) != u'E')
            return 0;
        ++m_pos;
        skipBlanks();
        std::string exponent = "e";
        if (peek() == u'+' || peek() == u'-') {
            exponent.push_back(char(peek()));
            ++m_pos;
        }
        if (appendDigits(exponent) == 0) {
            m_pos = start;
            return 0;
        }
        number += exponent;
        long long value = 0;
        for (char c : exponent) {
            if (c >= '0' && c <= '9' && value < 100000)
                value = value * 10 + (c - '0');
        }
        return exponent.size() > 1 && exponent[1] == '-' ? -value : value;
    }

    // from_chars is exact and locale-free; beyond the double range it reports only "out of
    // range", so the decimal magnitude decides between an infinity and zero.
    static double convert(const std::string& number, const std::string& mantissa,
                          long long exponent)
    {
        double value = 0.0;
        const char* begin = number.data();
        const auto result = std::from_chars(begin, begin + number.size(), value);
        if (result.ec != std::errc::result_out_of_range)
            return value;
        const bool negative = !number.empty() && number.front() == '-';
        if (leadingDigitMagnitude(mantissa) + exponent >= 0)
            return negative ? -std::numeric_limits<double>::infinity()
                            : std::numeric_limits<double>::infinity();
        return negative ? -0.0 : 0.0;
    }

    // Power of ten of the first non-zero digit ("123.4" -> 2, "0.05" -> -2).
    static long long leadingDigitMagnitude(const std::string& mantissa)
    {
        const std::size_t point = mantissa.find('.');
        const std::size_t wholeDigits = point == std::string::npos ? mantissa.size() : point;
        const std::size_t first = mantissa.find_first_of("123456789");
        if (first == std::string::npos)
            return std::numeric_limits<int>::min();
        if (first < wholeDigits)
            return static_cast<long long>(wholeDigits - first) - 1;
        return -static_cast<long long>(first - point);
    }

    qsizetype m_size;
    CharAt m_at;
    qsizetype m_pos = 0;
    bool m_sawDigits = false;
};

template <typename CharAt> double scanNumber(qsizetype size, CharAt at)
{
    return NumberScanner<CharAt>(size, at).read();
}

template <typename Float> Float roundHalfEvenOf(Float value)
{
    using std::floor;
    using std::fmod;
    const Float below = floor(value);
    const Float fraction = value - below;
    if (fraction < Float(0.5))
        return below;
    if (fraction > Float(0.5))
        return below + 1;
    return fmod(below, Float(2)) == 0 ? below : below + 1;
}

template <typename Int> std::optional<Int> toInteger(double value)
{
    if (std::isnan(value))
        return std::nullopt;
    const double rounded = RoundHalfEven(value);
    if (rounded < double(std::numeric_limits<Int>::min()) ||
        rounded > double(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return static_cast<Int>(rounded);
}

} // namespace

double ReadNumber(QStringView text)
{
    return scanNumber(text.size(), [text](qsizetype i) { return text[i].unicode(); });
}

std::optional<double> ReadWholeNumber(QStringView text)
{
    const auto at = [text](qsizetype i) { return text[i].unicode(); };
    NumberScanner<decltype(at)> scanner(text.size(), at);
    const double value = scanner.read();
    if (!scanner.tookAllText())
        return std::nullopt;
    return value;
}

double ReadNumber(QByteArrayView latin1Text)
{
    return scanNumber(latin1Text.size(),
                      [latin1Text](qsizetype i) { return char16_t(uchar(latin1Text[i])); });
}

double RoundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    return roundHalfEvenOf(value);
}

double RoundToDecimals(double value, int decimals)
{
    if (!std::isfinite(value) || decimals <= 0)
        return RoundHalfEven(value);
    if (decimals > 15 || std::fabs(value) >= 4503599627370496.0) // 2^52: already whole
        return value;
    // In the 64-bit mantissa of long double the product of a double and 10^n (n <= 4) is
    // exact, so an exact half in the stored value is recognised as a half.
    const long double scale = std::pow(10.0L, decimals);
    const long double rounded = roundHalfEvenOf(static_cast<long double>(value) * scale);
    return static_cast<double>(rounded / scale);
}

std::optional<std::int32_t> ToInt32(double value)
{
    return toInteger<std::int32_t>(value);
}

std::optional<std::int16_t> ToInt16(double value)
{
    return toInteger<std::int16_t>(value);
}

float ToSingle(double value)
{
    if (!std::isfinite(value) || std::fabs(value) <= double(FLT_MAX))
        return static_cast<float>(value);
    // Above FLT_MAX by less than half its last step still rounds to FLT_MAX.
    const double halfStepAboveMax = double(FLT_MAX) + std::ldexp(1.0, 103);
    const float magnitude =
        std::fabs(value) < halfStepAboveMax ? FLT_MAX : std::numeric_limits<float>::infinity();
    return value < 0 ? -magnitude : magnitude;
}

QString FormatWholeNumber(double value)
{
    if (!std::isfinite(value))
        return {};
    const double rounded = RoundHalfEven(value);
    return QString::number(rounded == 0 ? 0.0 : rounded, 'f', 0);
}

QString FormatThreeDecimals(double value)
{
    if (!std::isfinite(value))
        return {};
    const double rounded = RoundToDecimals(value, 3);
    return QString::number(rounded == 0 ? 0.0 : rounded, 'f', 3);
}

namespace {

QString decimalText(double value, int significantDigits)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (value == 0)
        return QStringLiteral("0");
    // Whole numbers, which most shown values are, need no digit generation.
    if (std::fabs(value) < 1e15 && value == std::trunc(value))
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', significantDigits).toUpper();
}

} // namespace

QString DecimalText(double value)
{
    return decimalText(value, 15);
}

QString DecimalText(float value)
{
    return decimalText(double(value), 7);
}

} // namespace glimrow
