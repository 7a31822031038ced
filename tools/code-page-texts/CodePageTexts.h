#pragma once

// Business texts in several languages (UTF-8), each with the Windows code page
// its tables were written in, read once from the files of tests/data/code-page.

#include <string>
#include <vector>

namespace code_page_texts {

struct LanguageTexts {
    std::string language;
    int codePage = 0; // the Windows code page the language's tables are written in
    std::string fieldName;
    std::vector<std::string> values;
    std::vector<std::string> fewWords; // a table too small to tell its code page
};

// Languages written in other code pages than 1252 (foreign.txt). Throws
// std::runtime_error when the file cannot be read.
const std::vector<LanguageTexts>& foreignTexts();
// Western languages, written in 1252 (western.txt).
const std::vector<LanguageTexts>& westernTexts();

// The UTF-8 text in a Windows code page, as a table's writer stored it.
// Throws std::runtime_error when the code page cannot hold it.
std::string encodeIn(const std::string& utf8, int codePage);

} // namespace code_page_texts
