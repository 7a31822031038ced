#pragma once

// A table of dates and timestamps at the ends of the years -9999 to 9999 and
// around the day before 0001-01-01, with the texts they read as, and the
// values one day or one millisecond past either end.

#include "paradox-writer/ParadoxWriter.h"

#include <cstdint>
#include <vector>

namespace testing_support::dates {

inline constexpr std::int64_t msPerDay = 86400000;
inline constexpr std::int64_t firstDay = -3652424; // -9999-01-01
inline constexpr std::int64_t lastDay = 3652059;   // 9999-12-31

// Columns "D" (Date) and "S" (Timestamp).
inline paradox_writer::TableDesign design() {
    paradox_writer::TableDesign design;
    design.columns = {{"D", paradox_writer::Date}, {"S", paradox_writer::Timestamp}};
    return design;
}

struct DatedRow {
    paradox_writer::Row cells;
    const char* date; // nullptr for NULL
    const char* stamp;
};

// Day 0 and millisecond 0 are stored as values, not as the blank of all zeros.
inline std::vector<DatedRow> atTheEnds() {
    using N = std::int64_t;
    return {
        {{N{firstDay}, N{firstDay * msPerDay}}, "-9999-01-01", "-9999-01-01 00:00:00"},
        {{N{-366}, N{-366 * msPerDay + 3600000}}, "-0001-12-31", "-0001-12-31 01:00:00"},
        {{N{-365}, N{-1}}, "0000-01-01", "0000-12-30 23:59:59.999"},
        {{N{0}, N{0}}, "0000-12-31", "0000-12-31 00:00:00"},
        {{{}, {}}, nullptr, nullptr},
        {{N{1}, N{msPerDay}}, "0001-01-01", "0001-01-01 00:00:00"},
        {{N{736695}, N{737456 * msPerDay + 3601000}}, "2018-01-01", "2020-02-01 01:00:01"},
        {{N{lastDay}, N{(lastDay + 1) * msPerDay - 1}}, "9999-12-31", "9999-12-31 23:59:59.999"},
    };
}

struct PastAnEnd {
    std::size_t column;
    std::int64_t value;
};

inline std::vector<PastAnEnd> pastTheEnds() {
    return {{0, firstDay - 1},
            {0, lastDay + 1},
            {1, firstDay * msPerDay - 1},
            {1, (lastDay + 1) * msPerDay}};
}

// A row of ordinary values with one of them past an end.
inline paradox_writer::Row rowWith(const PastAnEnd& past) {
    paradox_writer::Row row{std::int64_t{1}, std::int64_t{msPerDay}};
    row[past.column] = past.value;
    return row;
}

} // namespace testing_support::dates
