#pragma once

// The charset detector's guess at the code page of a text.

#include <string>
#include <string_view>

namespace codepage {

// The Windows code page the charset detector names for the bytes, with the
// detector's own name of it; 0 when it names none the reader knows.
struct Detection {
    int codePage = 0;
    std::string charset;
};
Detection detectCodePage(std::string_view bytes);

} // namespace codepage
