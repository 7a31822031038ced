#include "transfer/ValueText.h"

#include <QLocale>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <locale>
#include <random>
#include <string>
#include <utility>

using namespace transfer;

namespace {

// The forms that must come out the same whatever the user's locale.
void expectFixedForms() {
    EXPECT_EQ(formatNumber(7.489999999999999), "7.49");
    EXPECT_EQ(formatNumber(0.1 + 0.2), "0.3");
    EXPECT_EQ(formatNumber(-2.5), "-2.5");
    EXPECT_EQ(formatNumber(1234567.0), "1234567");
    EXPECT_EQ(formatNumber(123456789012345.0), "123456789012345");
    EXPECT_EQ(formatNumber(1e15), "1E+15");
    EXPECT_EQ(formatNumber(0.00001), "0.00001");
    EXPECT_EQ(formatNumber(0.0000015), "1.5E-06");
    EXPECT_EQ(formatNumber(0.0), "0");
    // Rounded to 15 digits these would lie past the largest double.
    EXPECT_EQ(formatNumber(1.7976931348623157e308), "1.7976931348623157E+308");
    EXPECT_EQ(formatNumber(-1.7976931348623157e308), "-1.7976931348623157E+308");
    EXPECT_EQ(formatNumber(1.79769313486231e308), "1.79769313486231E+308");
    EXPECT_EQ(formatDate(730120), "2000-01-01");
    EXPECT_EQ(formatTime(3723004), "01:02:03.004");
    EXPECT_EQ(formatTimestamp(730120LL * 86400000 + 3723000), "2000-01-01 01:02:03");
}

// Puts back the C, C++ and Qt locales found at its start when it goes.
struct LocalesRestored {
    const std::string c = std::setlocale(LC_ALL, nullptr);
    const std::locale cpp;
    const QLocale qt;
    ~LocalesRestored() {
        std::locale::global(cpp); // sets the C locale too, so that goes next
        std::setlocale(LC_ALL, c.c_str());
        QLocale::setDefault(qt);
    }
};

} // namespace

TEST(ValueText, NumbersDatesAndTimesHaveFixedForms) {
    expectFixedForms();
    EXPECT_EQ(formatTime(0), "00:00:00");
    EXPECT_EQ(formatTimestamp(738945LL * 86400000 + 86399999), "2024-02-29 23:59:59.999");
}

// Day numbers from the proleptic calendar moved by whole 400-year cycles.
// Before year 1 the years are astronomical: year 0 and -4 are leap years,
// -100 is not.
TEST(ValueText, DatesOfTheYearsMinus9999To9999) {
    const std::pair<std::int64_t, const char*> days[] = {
        {-3652424, "-9999-01-01"}, {-3652060, "-9999-12-31"}, {-146403, "-0400-02-29"},
        {-36831, "-0100-02-28"},   {-36830, "-0100-03-01"},   {-1767, "-0004-02-29"},
        {-366, "-0001-12-31"},     {-365, "0000-01-01"},      {-306, "0000-02-29"},
        {0, "0000-12-31"},         {1, "0001-01-01"},         {738945, "2024-02-29"},
        {3652059, "9999-12-31"},
    };
    for (const auto& [day, text] : days) {
        EXPECT_EQ(formatDate(day), text) << day;
        EXPECT_EQ(formatTimestamp(day * 86400000 + 3600000), std::string(text) + " 01:00:00");
    }
    EXPECT_EQ(formatTimestamp(-1), "0000-12-30 23:59:59.999");
}

TEST(ValueText, ALocaleWithADecimalCommaChangesNothing) {
    const LocalesRestored restored;
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed (scripts/test generates it)";
    }
    std::locale::global(std::locale("de_DE.UTF-8"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    expectFixedForms();
}

// Whatever way a number's digits are found, they are those of the value
// rounded to 15 significant digits: for doubles of every bit pattern, next to
// a tie in the 16th digit, and for short decimals.
TEST(ValueText, NumbersAreTheirValuesRoundedTo15Digits) {
    std::mt19937_64 random(15);
    for (int i = 0; i < 300000; ++i) {
        double value = 0;
        if (i % 3 == 0) {
            const std::uint64_t bits = random();
            std::memcpy(&value, &bits, sizeof value);
        } else if (i % 3 == 1) {
            // Next to a tie in the 16th digit.
            const auto tie =
                static_cast<double>((random() % 900000000000000 + 100000000000000) * 10 + 5);
            value = tie / std::pow(10.0, static_cast<double>(random() % 30));
        } else {
            value = static_cast<double>(static_cast<std::int64_t>(random() % 2000000000000) -
                                        1000000000000) /
                    std::pow(10.0, static_cast<double>(random() % 12));
        }
        char rounded[40];
        *std::to_chars(rounded, rounded + 39, value, std::chars_format::scientific, 14).ptr = 0;
        const double expected = std::strtod(rounded, nullptr);
        if (!std::isfinite(value) || !std::isfinite(expected)) {
            continue;
        }
        const std::string text = formatNumber(value);
        ASSERT_EQ(std::strtod(text.c_str(), nullptr), expected) << text << " for " << rounded;
    }
}
