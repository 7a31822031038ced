#include "transfer/ValueText.h"

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

std::string formatInteger(std::int64_t value) {
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

} // namespace

std::string formatDate(std::int64_t days) {
    std::string out;
    appendDate(out, days);
    return out;
}

std::string formatTime(std::int64_t milliseconds) {
    std::string out;
    appendTimeOfDay(out, milliseconds);
    return out;
}

std::string formatTimestamp(std::int64_t milliseconds) {
    std::int64_t day = floorDiv(milliseconds, msPerDay);
    std::string out;
    appendDate(out, day);
    out += ' ';
    appendTimeOfDay(out, milliseconds - day * msPerDay);
    return out;
}

std::string formatNumber(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Infinity" : "Infinity";
    if (value == 0)
        return "0";

    // d.dddddddddddddde+XX: 15 significant digits, correctly rounded; where
    // that rounding leaves the range of a double (next to the largest), the
    // shortest digits that read back as the same double.
    char buf[40];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    double back = 0;
    if (std::from_chars(buf, res.ptr, back).ec == std::errc::result_out_of_range) {
        res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    }
    std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
    bool negative = sci.front() == '-';
    if (negative)
        sci.remove_prefix(1);
    std::size_t ePos = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, ePos))
        if (c != '.')
            digits += c;
    int exponent = std::atoi(std::string(sci.substr(ePos + 1)).c_str());
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent < -5 || exponent >= 15) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1);
        }
        out += exponent < 0 ? "E-" : "E+";
        appendPadded(out, std::abs(exponent), 2);
        return out;
    }
    int n = static_cast<int>(digits.size());
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
    } else if (exponent + 1 >= n) {
        out += digits;
        out.append(static_cast<std::size_t>(exponent + 1 - n), '0');
    } else {
        out.append(digits, 0, static_cast<std::size_t>(exponent + 1));
        out += '.';
        out.append(digits, static_cast<std::size_t>(exponent + 1));
    }
    return out;
}

std::string formatHex(std::string_view bytes) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out += hex[b >> 4];
        out += hex[b & 0x0F];
    }
    return out;
}

std::string textOf(const paradox::Value& value) {
    using Kind = paradox::Value::Kind;
    switch (value.kind) {
    case Kind::Null:
        return {};
    case Kind::Integer:
        return formatInteger(value.integer);
    case Kind::Double:
        return formatNumber(value.number);
    case Kind::Boolean:
        return value.boolean ? "True" : "False";
    case Kind::Date:
        return formatDate(value.integer);
    case Kind::Time:
        return formatTime(value.integer);
    case Kind::Timestamp:
        return formatTimestamp(value.integer);
    case Kind::Decimal:
    case Kind::Text:
        return std::string(value.text);
    case Kind::Binary:
        return formatHex(value.text);
    }
    return {};
}

} // namespace transfer
