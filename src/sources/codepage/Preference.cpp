#include "sources/codepage/Preference.h"

#include "platform/paradox/CodePage.h"
#include "sources/Settings.h"

#include <QSettings>
#include <charconv>
#include <cstdlib>

namespace codepage {

namespace {

namespace fs = std::filesystem;

// The folder as compared: absolute, without dots, without a trailing slash.
fs::path comparable(const fs::path& folder) {
    std::error_code error;
    fs::path absolute = fs::absolute(folder, error);
    if (error)
        absolute = folder;
    absolute = absolute.lexically_normal();
    if (!absolute.has_filename() && absolute.has_parent_path() && absolute != absolute.root_path())
        absolute = absolute.parent_path();
    return absolute;
}

// Whether the folder is the other one or lies below it.
bool isWithin(const fs::path& folder, const fs::path& other) {
    auto f = folder.begin();
    for (auto o = other.begin(); o != other.end(); ++o, ++f)
        if (f == folder.end() || *f != *o)
            return false;
    return true;
}

Preference preferenceFrom(const std::string& text, std::string origin) {
    const std::optional<int> codePage = parseCodePage(text);
    if (!codePage)
        throw PreferenceError(origin + " names the code page \"" + text +
                              "\", which the program does not read. Give auto or a code page "
                              "number such as 1250, 1251, 1253, 1254, 1255 or 1256.");
    return {*codePage, std::move(origin)};
}

std::optional<Preference> preferenceOfEnvironment() {
    const char* value = std::getenv(CodePageVariable);
    if (!value || !*value)
        return std::nullopt;
    return preferenceFrom(value, std::string("The environment variable ") + CodePageVariable);
}

// The settings file's entry of the deepest folder that holds the folder.
std::optional<Preference> preferenceOfSettings(const fs::path& folder) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, sources::store::Organisation);
    settings.beginGroup(sources::store::Group);
    settings.beginGroup(sources::store::CodePages);
    const fs::path wanted = comparable(folder);
    std::optional<Preference> found;
    std::size_t depth = 0;
    for (const QString& entry : settings.childGroups()) {
        settings.beginGroup(entry);
        const fs::path named =
            comparable(settings.value(sources::store::Folder).toString().toStdString());
        const std::string text =
            settings.value(sources::store::CodePage).toString().trimmed().toStdString();
        settings.endGroup();
        const auto parts = static_cast<std::size_t>(std::distance(named.begin(), named.end()));
        if (!named.empty() && isWithin(wanted, named) && (!found || parts > depth)) {
            found = preferenceFrom(text, "The setting " + std::string(sources::store::CodePages) +
                                             "/" + entry.toStdString() + " for " + named.string());
            depth = parts;
        }
    }
    return found;
}

} // namespace

std::optional<int> parseCodePage(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "auto")
        return 0;
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number <= 0 ||
        !paradox::findCodePage(number))
        return std::nullopt;
    return number;
}

Preference codePagePreferenceOf(const std::filesystem::path& folder) {
    if (std::optional<Preference> preference = preferenceOfEnvironment())
        return *preference;
    if (std::optional<Preference> preference = preferenceOfSettings(folder))
        return *preference;
    return {};
}

} // namespace codepage
