#include "code-page-texts/CodePageTexts.h"

#include <fstream>
#include <iconv.h>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace code_page_texts {

namespace {

// A file of languages: "language:", "codePage:", "field:" and "few:" lines,
// and every other line that is neither blank nor a "#" comment a value of the
// language above it.
std::vector<LanguageTexts> readTexts(const std::string& name) {
    const std::string path = std::string(ORVANDEL_CODE_PAGE_TEXTS_DIR) + "/" + name;
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot read the texts of " + path);
    std::vector<LanguageTexts> texts;
    const auto after = [](const std::string& line,
                          std::string_view key) -> std::optional<std::string> {
        if (line.rfind(key, 0) != 0)
            return std::nullopt;
        return line.substr(key.size());
    };
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line.front() == '#')
            continue;
        if (const auto language = after(line, "language: ")) {
            texts.push_back({*language, 0, {}, {}, {}});
            continue;
        }
        if (texts.empty())
            throw std::runtime_error(path + ": a text before the first language");
        LanguageTexts& current = texts.back();
        if (const auto page = after(line, "codePage: "))
            current.codePage = std::stoi(*page);
        else if (const auto field = after(line, "field: "))
            current.fieldName = *field;
        else if (const auto few = after(line, "few: "))
            current.fewWords.push_back(*few);
        else
            current.values.push_back(line);
    }
    return texts;
}

} // namespace

const std::vector<LanguageTexts>& foreignTexts() {
    static const std::vector<LanguageTexts> texts = readTexts("foreign.txt");
    return texts;
}

const std::vector<LanguageTexts>& westernTexts() {
    static const std::vector<LanguageTexts> texts = readTexts("western.txt");
    return texts;
}

std::string encodeIn(const std::string& utf8, int codePage) {
    const iconv_t converter = iconv_open(("CP" + std::to_string(codePage)).c_str(), "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("iconv knows no code page " + std::to_string(codePage));
    std::string out(utf8.size(), '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* to = out.data();
    std::size_t outLeft = out.size();
    const std::size_t result = iconv(converter, &in, &inLeft, &to, &outLeft);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1))
        throw std::runtime_error("code page " + std::to_string(codePage) + " cannot hold " + utf8);
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace code_page_texts
