#include "common/NumberText.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <cfloat>
#include <cmath>
#include <limits>

using namespace glimrow;

namespace {

double read(const char* text)
{
    const double fromText = ReadNumber(QString::fromLatin1(text));
    const double fromBytes = ReadNumber(QByteArrayView(text));
    // Both entry points must agree (NaN never comes out of the reader).
    EXPECT_EQ(fromText, fromBytes) << text;
    return fromText;
}

} // namespace

TEST(ReadNumber, TakesTheLongestLeadingDecimalNumber)
{
    EXPECT_EQ(read("87"), 87);
    EXPECT_EQ(read("  7abc"), 7);
    EXPECT_EQ(read("1 2"), 12);
    EXPECT_EQ(read("\t-\n 5.5x"), -5.5);
    EXPECT_EQ(read(".5"), 0.5);
    EXPECT_EQ(read("1.2.3"), 1.2);
    EXPECT_EQ(read("1,5"), 1);
    EXPECT_EQ(read("1.5E3"), 1500);
    EXPECT_EQ(read("1.5e-1"), 0.15);
    EXPECT_EQ(read("2E"), 2);
    EXPECT_EQ(read("2 E 2"), 200);
    EXPECT_EQ(read("12345678901234567890"), 12345678901234567890.0); // the nearest double
    // A carriage return is not a blank: the number stops there.
    EXPECT_EQ(read("1\r2"), 1);
}

TEST(ReadNumber, TextWithoutANumberIsZero)
{
    EXPECT_EQ(read(""), 0);
    EXPECT_EQ(read("abc"), 0);
    EXPECT_EQ(read("."), 0);
    EXPECT_EQ(read("E5"), 0);
}

TEST(ReadWholeNumber, AcceptsOnlyTextThatIsANumber)
{
    EXPECT_EQ(ReadWholeNumber(u" 2 "), 2);
    EXPECT_EQ(ReadWholeNumber(u"-1.5E1"), -15);
    EXPECT_EQ(ReadWholeNumber(u"&H10"), 16);
    EXPECT_FALSE(ReadWholeNumber(u""));
    EXPECT_FALSE(ReadWholeNumber(u"2abc"));
    EXPECT_FALSE(ReadWholeNumber(u"-"));
    EXPECT_FALSE(ReadWholeNumber(u"&H"));
}

TEST(ReadNumber, HexAndOctalLiteralsAreThirtyTwoBitWords)
{
    EXPECT_EQ(read("&H1F"), 31);
    EXPECT_EQ(read("&O17"), 15);
    EXPECT_EQ(read("&O19"), 1); // 9 is not an octal digit
    EXPECT_EQ(read("&HFFFFFFFF"), -1);
    EXPECT_EQ(read("&H80000000"), -2147483648.0);
    EXPECT_EQ(read("&H100000000"), 4294967296.0);
    EXPECT_EQ(read("&X12"), 0);
}

TEST(ReadNumber, IgnoresTheLocaleAndSurvivesExtremes)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German));
    EXPECT_EQ(read("0.9"), 0.9);
    QLocale::setDefault(saved);

    EXPECT_EQ(read("1E400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(read("1E-400"), 0);
    EXPECT_EQ(read("0.000E999999999999999999"), 0);

    const QString manyDigits = QString(100000, u'9');
    EXPECT_TRUE(std::isinf(ReadNumber(manyDigits)));
}

TEST(Rounding, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);

    EXPECT_EQ(RoundToDecimals(0.125, 2), 0.12);
    EXPECT_EQ(RoundToDecimals(-5.72957795, 4), -5.7296);
    EXPECT_EQ(RoundToDecimals(2.675, 2), 2.67); // stored just below the half
    EXPECT_EQ(RoundToDecimals(86.5, 0), 86);
    EXPECT_EQ(RoundToDecimals(1e300, 2), 1e300);
}

TEST(IntegerConversion, RoundsAndReportsOutOfRange)
{
    EXPECT_EQ(ToInt32(12.5), 12);
    EXPECT_EQ(ToInt32(13.5), 14);
    EXPECT_EQ(ToInt32(2147483647.4), 2147483647);
    EXPECT_EQ(ToInt32(-2147483648.5), std::numeric_limits<std::int32_t>::min());
    EXPECT_FALSE(ToInt32(2147483647.5)); // rounds to 2^31
    EXPECT_FALSE(ToInt32(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(ToInt32(std::numeric_limits<double>::quiet_NaN()));

    EXPECT_EQ(ToInt16(-32768.4), -32768);
    EXPECT_FALSE(ToInt16(32767.5));
    EXPECT_FALSE(ToInt16(-40000));
}

TEST(SingleConversion, BeyondTheSingleRangeIsAnInfinityOfItsSign)
{
    EXPECT_EQ(ToSingle(0.5), 0.5f);
    EXPECT_EQ(ToSingle(1e39), std::numeric_limits<float>::infinity());
    EXPECT_EQ(ToSingle(double(FLT_MAX) * (1 + 1e-9)), FLT_MAX);
    EXPECT_EQ(ToSingle(std::numeric_limits<double>::infinity()),
              std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(ToSingle(std::numeric_limits<double>::quiet_NaN())));
}

TEST(Formats, WholeNumbersThreeDecimalsAndPlainText)
{
    EXPECT_EQ(FormatWholeNumber(1234.6), "1235");
    EXPECT_EQ(FormatWholeNumber(2.5), "2");
    EXPECT_EQ(FormatWholeNumber(-0.4), "0");
    EXPECT_EQ(FormatWholeNumber(-12.7), "-13");
    EXPECT_EQ(FormatWholeNumber(std::numeric_limits<double>::quiet_NaN()), "");

    EXPECT_EQ(FormatThreeDecimals(1), "1.000");
    EXPECT_EQ(FormatThreeDecimals(1.0005), "1.000"); // just below the half once stored
    EXPECT_EQ(FormatThreeDecimals(1.2345678), "1.235");
    EXPECT_EQ(FormatThreeDecimals(-0.0001), "0.000");
    EXPECT_EQ(FormatThreeDecimals(-2.25), "-2.250");

    EXPECT_EQ(DecimalText(87.0), "87");
    EXPECT_EQ(DecimalText(-5.7296), "-5.7296");
    EXPECT_EQ(DecimalText(0.1 + 0.2), "0.3");
    EXPECT_EQ(DecimalText(-0.0), "0");
    EXPECT_EQ(DecimalText(1e20), "1E+20");
    EXPECT_EQ(DecimalText(1.03f), "1.03");
}
