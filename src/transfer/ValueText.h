#pragma once

// Text forms of Paradox values as they are written into statements. They do
// not depend on the user's locale.

#include "platform/paradox/Paradox.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace transfer {

// The text form of a value; the empty string for NULL.
std::string textOf(const paradox::Value& value);
// The same, appended to out.
void appendTextOf(std::string& out, const paradox::Value& value);

// Years before 1 are astronomical (year 0 is 1 BC) with a minus sign and four
// digits: day 0 is 0000-12-31, day -366 is -0001-12-31.
std::string formatDate(std::int64_t days);              // YYYY-MM-DD
std::string formatTime(std::int64_t milliseconds);      // HH:MM:SS[.mmm]
std::string formatTimestamp(std::int64_t milliseconds); // YYYY-MM-DD HH:MM:SS[.mmm]
std::string formatNumber(double value);                 // 15 significant digits
std::string formatHex(std::string_view bytes);          // upper-case hexadecimal

} // namespace transfer
