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

// Writes value in decimal, zero-padded to width digits, at at; returns the
// end of what it wrote.
char* putPadded(char* at, std::int64_t value, int width) {
    char digits[24];
    char* const end = digits + sizeof digits;
    char* first = end;
    std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        *--first = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (end - first < width) {
        *--first = '0';
    }
    if (value < 0) {
        *at++ = '-';
    }
    return std::copy(first, end, at);
}

void appendPadded(std::string& out, std::int64_t value, int width) {
    char text[24];
    out.append(text, putPadded(text, value, width));
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
    const CivilDate date = civilFromDays(days);
    char text[32];
    char* end = putPadded(text, date.year, 4);
    *end++ = '-';
    end = putPadded(end, date.month, 2);
    *end++ = '-';
    end = putPadded(end, date.day, 2);
    out.append(text, end);
}

void appendTimeOfDay(std::string& out, std::int64_t ms) {
    char text[48];
    char* end = text;
    if (ms < 0) {
        *end++ = '-';
        ms = -ms;
    }
    end = putPadded(end, ms / 3600000, 2);
    *end++ = ':';
    end = putPadded(end, ms / 60000 % 60, 2);
    *end++ = ':';
    end = putPadded(end, ms / 1000 % 60, 2);
    if (ms % 1000 != 0) {
        *end++ = '.';
        end = putPadded(end, ms % 1000, 3);
    }
    out.append(text, end);
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

// The significant digits and decimal exponent of a number written as
// d.ddde+XX by to_chars.
struct Decimal {
    char digits[24];
    std::size_t count = 0;
    int exponent = 0;
};

Decimal decimalOf(std::string_view scientific) {
    Decimal d;
    const std::size_t ePos = scientific.find('e');
    for (const char c : scientific.substr(0, ePos)) {
        if (c != '.') {
            d.digits[d.count++] = c;
        }
    }
    std::string_view exponent = scientific.substr(ePos + 1);
    if (exponent.front() == '+') {
        exponent.remove_prefix(1);
    }
    std::from_chars(exponent.data(), exponent.data() + exponent.size(), d.exponent);
    return d;
}

// Rounds the digits to 15, half up, carrying into the exponent.
void roundTo15(Decimal& d) {
    const bool up = d.digits[15] >= '5';
    d.count = 15;
    if (!up) {
        return;
    }
    std::size_t i = 15;
    while (i > 0 && d.digits[i - 1] == '9') {
        d.digits[--i] = '0';
    }
    if (i == 0) {
        d.digits[0] = '1';
        ++d.exponent;
    } else {
        ++d.digits[i - 1];
    }
}

// The digits of a finite, non-zero magnitude rounded to 15 significant
// digits. They come from the shortest digits that read back as the same
// double: with at most 15 of them those are the rounding; with more, no
// rounding boundary can lie between them and the value (a shorter or nearer
// decimal would have been the shortest), so rounding them gives the same, but
// for an exact tie in their 16th digit. Where the rounding would leave the
// range of a double (next to the largest), the shortest digits stay.
Decimal digitsOf(double magnitude) {
    char text[40];
    const auto shortest =
        std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific);
    Decimal d = decimalOf(std::string_view(text, static_cast<std::size_t>(shortest.ptr - text)));
    if (d.count <= 15) {
        return d;
    }
    if (d.count == 16 && d.digits[15] == '5') {
        const auto rounded =
            std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 14);
        return decimalOf(std::string_view(text, static_cast<std::size_t>(rounded.ptr - text)));
    }
    const Decimal exact = d;
    roundTo15(d);
    if (d.exponent >= 308 && std::string_view(d.digits, 15) > "179769313486231") {
        return exact;
    }
    return d;
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
    if (value < 0) {
        out += '-';
    }
    Decimal d = digitsOf(std::fabs(value));
    while (d.count > 1 && d.digits[d.count - 1] == '0') {
        --d.count;
    }
    const char* digits = d.digits;
    const std::size_t n = d.count;
    const int exponent = d.exponent;
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
