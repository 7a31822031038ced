#include "transfer/ValueText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace transfer {

namespace {

constexpr std::int64_t msPerDay = 86400000;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

void appendPadded(std::string& out, std::int64_t value, int width) {
    char buf[24];
    bool negative = value < 0;
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    auto res = std::to_chars(buf, buf + sizeof buf, magnitude);
    int len = static_cast<int>(res.ptr - buf);
    if (negative)
        out += '-';
    for (int i = len; i < width; ++i)
        out += '0';
    out.append(buf, res.ptr);
}

// Civil date from a day count where 0001-01-01 is day 1.
struct CivilDate {
    std::int64_t year;
    int month;
    int day;
};

CivilDate civilFromDays(std::int64_t days) {
    // Shift to an era-based count starting at 0000-03-01.
    std::int64_t z = days + 305; // 0000-03-01 is day -305
    std::int64_t era = floorDiv(z, 146097);
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

void appendDate(std::string& out, std::int64_t days) {
    CivilDate date = civilFromDays(days);
    appendPadded(out, date.year, 4);
    out += '-';
    appendPadded(out, date.month, 2);
    out += '-';
    appendPadded(out, date.day, 2);
}

void appendTimeOfDay(std::string& out, std::int64_t ms) {
    if (ms < 0) {
        out += '-';
        ms = -ms;
    }
    appendPadded(out, ms / 3600000, 2);
    out += ':';
    appendPadded(out, ms / 60000 % 60, 2);
    out += ':';
    appendPadded(out, ms / 1000 % 60, 2);
    if (ms % 1000 != 0) {
        out += '.';
        appendPadded(out, ms % 1000, 3);
    }
}

void appendInteger(std::string& out, std::int64_t value) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, res.ptr);
}

void appendTimestamp(std::string& out, std::int64_t milliseconds) {
    const std::int64_t day = floorDiv(milliseconds, msPerDay);
    appendDate(out, day);
    out += ' ';
    appendTimeOfDay(out, milliseconds - day * msPerDay);
}

void appendNumber(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "NaN";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-Infinity" : "Infinity";
        return;
    }
    if (value == 0) {
        out += '0';
        return;
    }

    // d.dddddddddddddde+XX: 15 significant digits, correctly rounded. The
    // shortest digits that read back as the same double are those digits
    // whenever there are at most 15 of them, and are much quicker to find.
    // Where rounding to 15 digits leaves the range of a double (next to the
    // largest), the shortest digits stay.
    char buf[40];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    if (std::count_if(buf, std::find(buf, res.ptr, 'e'), [](char c) { return c >= '0'; }) > 15) {
        res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
        double back = 0;
        if (std::from_chars(buf, res.ptr, back).ec == std::errc::result_out_of_range) {
            res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
        }
    }
    std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
    if (sci.front() == '-') {
        out += '-';
        sci.remove_prefix(1);
    }
    const std::size_t ePos = sci.find('e');
    char digits[24];
    std::size_t n = 0;
    for (const char c : sci.substr(0, ePos)) {
        if (c != '.') {
            digits[n++] = c;
        }
    }
    while (n > 1 && digits[n - 1] == '0') {
        --n;
    }
    std::string_view exponentText = sci.substr(ePos + 1);
    if (exponentText.front() == '+') {
        exponentText.remove_prefix(1);
    }
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

    const auto count = static_cast<int>(n);
    if (exponent < -5 || exponent >= 15) {
        out += digits[0];
        if (n > 1) {
            out += '.';
            out.append(digits + 1, n - 1);
        }
        out += exponent < 0 ? "E-" : "E+";
        appendPadded(out, std::abs(exponent), 2);
    } else if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out.append(digits, n);
    } else if (exponent + 1 >= count) {
        out.append(digits, n);
        out.append(static_cast<std::size_t>(exponent + 1 - count), '0');
    } else {
        const auto whole = static_cast<std::size_t>(exponent + 1);
        out.append(digits, whole);
        out += '.';
        out.append(digits + whole, n - whole);
    }
}

void appendHex(std::string& out, std::string_view bytes) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::size_t at = out.size();
    out.resize(at + bytes.size() * 2);
    for (const unsigned char b : bytes) {
        out[at++] = hex[b >> 4];
        out[at++] = hex[b & 0x0F];
    }
}

// Runs append on a fresh string and returns it.
template <typename Append, typename Argument>
std::string textFrom(Append append, const Argument& argument) {
    std::string out;
    append(out, argument);
    return out;
}

} // namespace

std::string formatDate(std::int64_t days) {
    return textFrom(appendDate, days);
}

std::string formatTime(std::int64_t milliseconds) {
    return textFrom(appendTimeOfDay, milliseconds);
}

std::string formatTimestamp(std::int64_t milliseconds) {
    return textFrom(appendTimestamp, milliseconds);
}

std::string formatNumber(double value) {
    return textFrom(appendNumber, value);
}

std::string formatHex(std::string_view bytes) {
    return textFrom(appendHex, bytes);
}

void appendTextOf(std::string& out, const paradox::Value& value) {
    using Kind = paradox::Value::Kind;
    switch (value.kind) {
    case Kind::Null:
        return;
    case Kind::Integer:
        return appendInteger(out, value.integer);
    case Kind::Double:
        return appendNumber(out, value.number);
    case Kind::Boolean:
        out += value.boolean ? "True" : "False";
        return;
    case Kind::Date:
        return appendDate(out, value.integer);
    case Kind::Time:
        return appendTimeOfDay(out, value.integer);
    case Kind::Timestamp:
        return appendTimestamp(out, value.integer);
    case Kind::Decimal:
    case Kind::Text:
        out += value.text;
        return;
    case Kind::Binary:
        return appendHex(out, value.text);
    }
}

std::string textOf(const paradox::Value& value) {
    return textFrom(appendTextOf, value);
}

} // namespace transfer
