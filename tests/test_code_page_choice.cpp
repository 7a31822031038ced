// The code page a table's text is decoded with: tables whose header names the
// Western default but whose writer used another Windows code page, Western
// tables that must stay as they are, under several locales, and the send of
// such tables to real engines.

#include "code-page-texts/CodePageTexts.h"
#include "paradox-writer/ParadoxWriter.h"
#include "platform/paradox/CodePage.h"
#include "sources/Settings.h"
#include "sources/codepage/Choice.h"
#include "sources/codepage/Locale.h"
#include "sources/codepage/Words.h"
#include "support/ParadoxTestFiles.h"
#include "support/TestWorkspace.h"
#include "transfer/SendTables.h"

#include <QSettings>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <random>
#include <sstream>

namespace pw = paradox_writer;
using code_page_texts::encodeIn;
using code_page_texts::LanguageTexts;
using codepage::Reason;
using testing_support::TempFolder;

namespace {

// Runs under a locale as a user has it: the environment names it and the C
// library uses it. Both are put back at the end.
class UserLocale {
public:
    explicit UserLocale(const std::string& name) {
        for (const char* variable : variables) {
            if (const char* value = std::getenv(variable))
                saved_[variable] = value;
            ::unsetenv(variable);
        }
        ::setenv("LC_ALL", name.c_str(), 1);
        ::setenv("LANG", name.c_str(), 1);
        available_ = std::setlocale(LC_ALL, name.c_str()) != nullptr;
    }
    UserLocale(const UserLocale&) = delete;
    UserLocale& operator=(const UserLocale&) = delete;
    ~UserLocale() {
        for (const char* variable : variables) {
            if (const auto it = saved_.find(variable); it != saved_.end())
                ::setenv(variable, it->second.c_str(), 1);
            else
                ::unsetenv(variable);
        }
        std::setlocale(LC_ALL, c_.c_str());
    }
    bool available() const { return available_; }

private:
    static constexpr const char* variables[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    const std::string c_ = std::setlocale(LC_ALL, nullptr);
    std::map<std::string, std::string> saved_;
    bool available_ = false;
};

// An Alpha and a Memo column named in the language; the values alternate
// between them, so that both count.
pw::TableDesign designFor(const LanguageTexts& texts, int headerCodePage = 1252) {
    pw::TableDesign design;
    design.columns = {{"ID", pw::Long},
                      {encodeIn(texts.fieldName, texts.codePage), pw::Alpha, 80},
                      {"NOTE", pw::Memo, 11}};
    design.codePage = headerCodePage;
    return design;
}

std::vector<pw::Row> rowsOf(const LanguageTexts& texts, const std::vector<std::string>& values) {
    std::vector<pw::Row> rows;
    for (std::size_t i = 0; i < values.size(); ++i) {
        pw::Cell text = encodeIn(values[i], texts.codePage);
        rows.push_back({static_cast<std::int64_t>(i + 1), i % 2 ? pw::Cell{} : text,
                        i % 2 ? text : pw::Cell{}});
    }
    return rows;
}

// Every text the recordset holds, in row order.
std::vector<std::string> textsOf(paradox::Recordset rows) {
    std::vector<std::string> texts;
    for (; !rows.eof(); rows.moveNext())
        for (std::size_t i = 0; i < rows.fields().size(); ++i)
            if (const paradox::Value value = rows.value(i);
                value.kind == paradox::Value::Kind::Text)
                texts.emplace_back(value.text);
    return texts;
}

// The sample of a table whose columns hold these bytes.
codepage::TextSample sampleOf(const std::vector<std::string>& columns) {
    codepage::TextSample sample{1252, {""}, 0, 0};
    for (const std::string& column : columns) {
        sample.columns.push_back(column);
        sample.size += column.size();
        for (const char c : column)
            sample.highBytes += static_cast<unsigned char>(c) >= 0x80;
    }
    return sample;
}

struct Written {
    const LanguageTexts* texts;
    std::string file;
    bool few; // only the few short words
};

// Every language's table, and its table of a few words, written once.
const std::vector<Written>& writtenTables() {
    static const TempFolder folder;
    static const std::vector<Written> tables = [] {
        std::vector<Written> written;
        for (const auto* set : {&code_page_texts::foreignTexts(), &code_page_texts::westernTexts()})
            for (const LanguageTexts& texts : *set)
                for (const bool few : {false, true}) {
                    const std::string file =
                        folder.file(std::string(texts.language) + (few ? "-few" : "") + ".db");
                    pw::writeTable(file, designFor(texts),
                                   rowsOf(texts, few ? texts.fewWords : texts.values));
                    written.push_back({&texts, file, few});
                }
        return written;
    }();
    return tables;
}

struct Expected {
    int codePage;
    Reason reason;
};

// Western text stays in 1252 and a table of dozens of values is told by its
// text, under any locale. A few words read in their writer's code page under
// that code page's locale; under another they may read in it, in the
// locale's code page (as on the Windows the table comes from) or as the
// header says, never in a third.
bool isAcceptable(const Written& table, const std::string& locale, const codepage::Choice& choice) {
    const int page = table.texts->codePage;
    if (page == 1252)
        return choice.codePage == 1252 && choice.reason == Reason::Header;
    if (!table.few)
        return choice.codePage == page && choice.reason == Reason::Detected;
    const int localePage = codepage::ansiCodePageOf(locale);
    if (localePage == page)
        return choice.codePage == page;
    return choice.codePage == page || choice.codePage == 1252 ||
           (choice.codePage == localePage && choice.reason == Reason::Locale);
}

class ChoiceUnderLocale : public ::testing::TestWithParam<std::string> {};

} // namespace

TEST_P(ChoiceUnderLocale, TablesReadInTheirWritersCodePage) {
    const UserLocale locale(GetParam());
    if (!locale.available())
        GTEST_SKIP() << "the " << GetParam() << " locale is not installed (scripts/test makes it)";
    for (const Written& table : writtenTables()) {
        SCOPED_TRACE(std::string(table.texts->language) + (table.few ? ", a few words" : ""));
        const codepage::Choice choice = codepage::codePageOfTable(codepage::TableFiles(table.file));
        EXPECT_TRUE(isAcceptable(table, GetParam(), choice))
            << choice.codePage << ": " << choice.explanation;

        const auto& values = table.few ? table.texts->fewWords : table.texts->values;
        paradox::Recordset rows = codepage::openParadoxTable(codepage::TableFiles(table.file));
        if (choice.codePage != table.texts->codePage) {
            // As the header says exactly as before, or in the locale's code page.
            paradox::TableOptions options;
            if (choice.reason != Reason::Header)
                options.codePageOverride = choice.codePage;
            EXPECT_EQ(textsOf(std::move(rows)), textsOf(paradox::openTable(table.file, options)));
            continue;
        }
        EXPECT_EQ(rows.fields().at(1).name, table.texts->fieldName);
        EXPECT_EQ(textsOf(std::move(rows)), values);
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, ChoiceUnderLocale,
                         ::testing::Values("C", "en_US.UTF-8", "ru_RU.UTF-8", "tr_TR.UTF-8"),
                         [](const auto& info) {
                             std::string name = info.param.substr(0, info.param.find('.'));
                             return name;
                         });

// What a header names other than 1252 holds, under a locale and with text that
// says otherwise; a 1252 named only by the sort order is looked into.
TEST(CodePageChoice, OnlyTheWesternDefaultIsLookedInto) {
    const UserLocale locale("C");
    const LanguageTexts& russian = code_page_texts::foreignTexts().at(0);
    const LanguageTexts& german = code_page_texts::westernTexts().at(1);
    const TempFolder folder;
    struct Case {
        const char* name;
        const LanguageTexts& texts;
        int headerPage;
        const char* sortOrder;
        int versionId;
        Expected expected;
    };
    const Case cases[] = {
        {"german in 1251", german, 1251, "ancyrr", 12, {1251, Reason::Header}},
        {"russian in 1251", russian, 1251, "ancyrr", 12, {1251, Reason::Header}},
        {"by sort order", russian, 0, "DBWINUS0", 12, {1251, Reason::Detected}},
        {"none named", russian, 0, "ascii", 12, {0, Reason::Header}},
        {"version 3", russian, 1252, "ascii", 3, {0, Reason::Header}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pw::TableDesign design = designFor(c.texts, c.headerPage);
        design.sortOrder = c.sortOrder;
        design.versionId = c.versionId;
        const std::string file = folder.file(std::string(c.name) + ".db");
        pw::writeTable(file, design, rowsOf(c.texts, c.texts.values));
        const codepage::Choice choice = codepage::codePageOfTable(codepage::TableFiles(file));
        EXPECT_EQ(choice.codePage, c.expected.codePage) << choice.explanation;
        EXPECT_EQ(choice.reason, c.expected.reason) << choice.explanation;
        if (c.expected.reason == Reason::Header) {
            EXPECT_EQ(textsOf(codepage::openParadoxTable(codepage::TableFiles(file))),
                      textsOf(paradox::openTable(file)));
        }
    }
}

namespace {

// Names the code page of a folder's tables in the settings file.
void setFolderCodePage(const QString& entry, const std::filesystem::path& folder,
                       const QString& codePage) {
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, sources::store::Organisation);
    settings.beginGroup(QString(sources::store::Group) + '/' + sources::store::CodePages + '/' +
                        entry);
    settings.setValue(sources::store::Folder, QString::fromStdString(folder.string()));
    settings.setValue(sources::store::CodePage, codePage);
}

} // namespace

// The user's code page for tables whose header names 1252: the environment
// beats the settings file, whose entry for the nearest folder at or above the
// table's holds; a header naming another code page still holds; a value the
// program cannot read is an error that names where it was given.
TEST(CodePageChoice, TheUsersCodePageBeatsTheGuess) {
    const UserLocale locale("C");
    const LanguageTexts& german = code_page_texts::westernTexts().at(1);
    const TempFolder folder;
    const std::filesystem::path root = folder.path() / "root", other = folder.path() / "other";
    for (const auto& sub : {root / "sub", root / "plain", other, folder.path() / "bad"})
        std::filesystem::create_directories(sub);
    setFolderCodePage("russian", root.string() + "/", "1251");
    setFolderCodePage("plain", root / "sub" / ".." / "plain", "Auto");
    setFolderCodePage("bad", folder.path() / "bad", "cyrillic");
    struct Case {
        const char* environment; // nullptr: unset
        std::filesystem::path file;
        int headerPage;
        Expected expected;
    };
    const Case cases[] = {
        {nullptr, root / "DE.db", 1252, {1251, Reason::Setting}},
        {nullptr, root / "sub" / "DE.db", 1252, {1251, Reason::Setting}},
        {nullptr, root / "plain" / "DE.db", 1252, {1252, Reason::Header}},
        {nullptr, other / "DE.db", 1252, {1252, Reason::Header}},
        {nullptr, root / "PL.db", 1250, {1250, Reason::Header}},
        {"1253", other / "DE.db", 1252, {1253, Reason::Setting}},
        {"auto", root / "DE.db", 1252, {1252, Reason::Header}},
        {"", root / "DE.db", 1252, {1251, Reason::Setting}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.string() + " with " + (c.environment ? c.environment : "(unset)"));
        if (c.environment)
            ::setenv(codepage::CodePageVariable, c.environment, 1);
        pw::writeTable(c.file.string(), designFor(german, c.headerPage),
                       rowsOf(german, german.values));
        const codepage::Choice choice = codepage::codePageOfTable(c.file);
        EXPECT_EQ(choice.codePage, c.expected.codePage) << choice.explanation;
        EXPECT_EQ(choice.reason, c.expected.reason) << choice.explanation;
        // As the send opens it.
        paradox::TableOptions options;
        options.codePageOverride = c.expected.codePage;
        EXPECT_EQ(textsOf(codepage::openParadoxTable(c.file)),
                  textsOf(paradox::openTable(c.file, options)));
        ::unsetenv(codepage::CodePageVariable);
    }

    const std::pair<const char*, std::filesystem::path> refused[] = {
        {"9999", other / "DE.db"}, {"1251x", other / "DE.db"}, {nullptr, folder.path() / "bad"}};
    for (const auto& [environment, place] : refused) {
        if (environment)
            ::setenv(codepage::CodePageVariable, environment, 1);
        try {
            (void)codepage::codePagePreferenceOf(place);
            ADD_FAILURE() << place << " with " << (environment ? environment : "(unset)");
        } catch (const codepage::PreferenceError& error) {
            const std::string where = environment ? codepage::CodePageVariable : "CodePages/bad";
            EXPECT_NE(std::string(error.what()).find(where), std::string::npos) << error.what();
        }
        ::unsetenv(codepage::CodePageVariable);
    }
}

// One choice for the whole table: memo text counts (a long one in part), and
// a Western word among Russian values is decoded as Russian too. A value the reader refuses ends
// the sample, not the opening: the rows before it still read.
TEST(CodePageChoice, OneChoiceForTheWholeTable) {
    const UserLocale locale("C");
    const LanguageTexts& russian = code_page_texts::foreignTexts().at(0);
    const TempFolder folder;
    pw::TableDesign design;
    design.columns = {{"NAME", pw::Alpha, 20}, {"NOTE", pw::Memo, 11}};
    std::vector<pw::Row> rows{{pw::Cell{}, std::string("Caf\xE9")}};
    for (const std::string& value : russian.values)
        rows.push_back({std::string("plain"), encodeIn(value, 1251)});
    pw::writeTable(folder.file("MIXED.db"), design, rows);
    const std::vector<std::string> texts =
        textsOf(codepage::openParadoxTable(codepage::TableFiles(folder.file("MIXED.db"))));
    ASSERT_EQ(texts.size(), 1 + 2 * russian.values.size());
    EXPECT_EQ(texts[0], "Cafй");
    EXPECT_EQ(texts[2], russian.values[0]);

    // A long memo is sampled only in part.
    std::string longMemo;
    while (longMemo.size() < 200000)
        longMemo += encodeIn(russian.values[longMemo.size() % 7], 1251) + ' ';
    pw::writeTable(folder.file("LONG.db"), design, {{std::string("x"), longMemo}});
    const codepage::TextSample sample =
        codepage::readTextSample(codepage::TableFiles(folder.file("LONG.db")));
    EXPECT_LE(sample.size, 64u * 1024 + 1);
    EXPECT_EQ(codepage::chooseCodePage(sample, "C").codePage, 1251);
    // Plain ASCII is read up to a bound too.
    codepage::TextSampler sampler(1252, {{"NAME", paradox::FieldType::Alpha, 100, 200}});
    std::size_t fed = 0;
    for (; sampler.wantsMore() && fed < 64u * 1024 * 1024; fed += 100)
        sampler.add(0, std::string(100, 'a'));
    EXPECT_LE(fed, 4u * 1024 * 1024 + 100);

    // The memo file ends before the second row's memo.
    pw::writeTable(folder.file("CUT.db"), design,
                   {{std::string("Caf\xE9"), pw::Cell{}}, rows[1], rows[2]});
    std::filesystem::resize_file(folder.file("CUT.mb"), 4096);
    paradox::Recordset cut =
        codepage::openParadoxTable(codepage::TableFiles(folder.file("CUT.db")));
    EXPECT_EQ(cut.value(0).text, "Café");
    cut.moveNext();
    EXPECT_THROW(cut.value(1), paradox::Error);
}

// The letters that make no sense in a code page, value by value: symbols
// beside letters where they belong, and the signs of another code page.
TEST(CodePageChoice, NonsenseIsToldFromUsage) {
    const std::pair<const char*, bool> western[] = {
        {"Pedido nº 45", false},
        {"5 m³ Beton", false},
        {"¿Sí? ¡Claro!", false},
        {"bei 20°C lagern", false},
        {"50 € netto", false},
        {"l’été «chaud»", false},
        {"Þór og Guðrún á Íslandi", false},
        {"Crème brûlée", false},
        {"Cœur", false},
        {"ma³y ¿ó³w", true},
        {"TEMÝZLÝK", true},
        {"Ïðèâåò ìèð", true},
        {"aºa", true},
        {"ÀÁÂ", true},
        {"Pøíliš žluouèký", true},
    };
    for (const auto& [text, nonsense] : western) {
        const std::string bytes = encodeIn(text, 1252);
        EXPECT_EQ(codepage::nonsenseShare(bytes, 1252) >= 0.25, nonsense) << text;
    }
    EXPECT_EQ(codepage::nonsenseShare("plain", 1252), 0.0);
    // Icelandic letters read as Turkish, Turkish letters read as Icelandic.
    EXPECT_GT(codepage::nonsenseShare(encodeIn("Guðrún á Íslandi", 1252), 1254), 0.5);
    EXPECT_GT(codepage::nonsenseShare(encodeIn("Işık ağacı", 1254), 1252), 0.5);
    // Icelandic ð, ý and þ without other Icelandic letters: nonsense only
    // against Turkish, and there only where ý outnumbers ð.
    const std::string greidsla = encodeIn("Greiðsla hefur borist", 1252);
    EXPECT_EQ(codepage::nonsenseShare(greidsla, 1252, 1254), 0.0);
    EXPECT_EQ(codepage::nonsenseShare(encodeIn("Lýsing", 1252), 1252, 1257), 0.0);
    EXPECT_EQ(codepage::nonsenseShare(encodeIn("Lýsing", 1252), 1252, 1254), 1.0);
    // Punctuation of other scripts where it belongs.
    const std::pair<const char*, int> ownScript[] = {
        {"Işık ağacı", 1254},
        {"محمد عبد الله، المحاسب؟", 1256},
        {"צה״ל, בית־ספר", 1255},
        {"Ελαιόλαδο· εξαιρετικό", 1253},
    };
    for (const auto& [text, page] : ownScript)
        EXPECT_EQ(codepage::nonsenseShare(encodeIn(text, page), page), 0.0) << text;
}

// Short mislabelled tables, column by column, read in their writer's code
// page where the text or the locale tells it.
TEST(CodePageChoice, ShortTablesFindTheirScript) {
    struct Case {
        const char* locale;
        int codePage; // the writer's
        std::vector<std::vector<std::string>> columns;
    };
    const std::vector<std::string> turkishRanks = {
        "AST SUBAY BERBERİ", "KÖPRÜ ÜSTÜ GÖREVLİSİ", "GÜVERTE ÜÇÜNCÜ ÇARKÇI", "ÖZEL KÜÇÜK GÖÇMEN",
        "MÜDÜR YARDIMCISI",  "GÜÇLÜ GÖZCÜ",          "ÇÖZÜMCÜ ÜYE",           "KAFÉ ÇÜRÜK"};
    const Case cases[] = {
        {"tr_TR.UTF-8", 1254, {{"ŞUBAT 2003"}}}, {"tr_TR.UTF-8", 1254, {turkishRanks}},
        {"C", 1251, {{"Внешний мир", "Офис"}}},  {"en_US.UTF-8", 1251, {{"Внешний мир"}, {"Офис"}}},
        {"en_US.UTF-8", 1253, {{"Ναι", "Όχι"}}}, {"C", 1255, {{"שלום", "כן"}}},
        {"el_GR.UTF-8", 1253, {{"Ναι"}}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> columns;
        for (const std::vector<std::string>& values : c.columns) {
            columns.emplace_back();
            for (const std::string& value : values)
                columns.back() += encodeIn(value, c.codePage) + '\n';
        }
        const codepage::Choice choice = codepage::chooseCodePage(sampleOf(columns), c.locale);
        EXPECT_EQ(choice.codePage, c.codePage)
            << c.locale << ": " << c.columns.front().front() << ": " << choice.explanation;
    }

    // The locale's own code page: a modifier may name the script, and a
    // language without a code page of its own is Western.
    EXPECT_EQ(codepage::ansiCodePageOf("sr_RS"), 1251);
    EXPECT_EQ(codepage::ansiCodePageOf("sr_RS@latin"), 1250);
    EXPECT_EQ(codepage::ansiCodePageOf("de_DE.UTF-8"), 1252);
    EXPECT_EQ(codepage::ansiCodePageOf("C"), 1252);
    // The locale is LC_ALL, else LC_CTYPE, else LANG, else C.
    const UserLocale locale("C");
    ::unsetenv("LC_ALL");
    ::setenv("LC_CTYPE", "tr_TR.UTF-8", 1);
    ::setenv("LANG", "ru_RU.UTF-8", 1);
    EXPECT_EQ(codepage::userLocaleName(), "tr_TR.UTF-8");
    ::setenv("LC_CTYPE", "", 1);
    EXPECT_EQ(codepage::userLocaleName(), "ru_RU.UTF-8");
    ::unsetenv("LANG");
    EXPECT_EQ(codepage::userLocaleName(), "C");
}

bool hasLongWordBeyondAscii(const std::string& text) {
    std::istringstream in(text);
    for (std::string word; in >> word;)
        if (word.size() >= 3 && sampleOf({word}).highBytes > 0)
            return true;
    return false;
}

// Runs of words of the Western texts stay as the header says under the
// locales of every other Windows code page: alone as a table's whole text,
// beside a column of short capital codes, and beside a column of passwords
// stored with the high bit set (where the run has a word of three letters or
// more beyond ASCII: the rest tells nothing).
TEST(CodePageChoice, WesternWordsStayWesternUnderEveryLocale) {
    const char* const locales[] = {"C",     "en_US", "ru_RU", "tr_TR", "pl_PL", "el_GR",
                                   "he_IL", "ar_EG", "lt_LT", "vi_VN", "th_TH"};
    std::string codes;
    for (const char* code : {"ÉÉ", "ÀÀ", "ÜÖ", "ÇÉ", "ÑÑ", "ØÅ", "ÉÀ", "ÖÜ"})
        codes += encodeIn(code, 1252) + '\n';
    // A password a row for many rows: more of them than words of real text.
    std::string scrambled;
    for (int row = 0; row < 5; ++row)
        for (const char* password :
             {"sesame", "hansen", "snoopy", "Berlin", "hunter", "dennis", "monkey", "shadow",
              "sunshine", "cheese", "Jessie", "tennis"}) {
            for (const char c : std::string(password))
                scrambled += static_cast<char>(c | 0x80);
            scrambled += '\n';
        }
    for (const LanguageTexts& texts : code_page_texts::westernTexts()) {
        std::vector<std::string> words = texts.fewWords;
        for (const std::string& value : texts.values) {
            std::istringstream in(value);
            for (std::string word; in >> word;)
                words.push_back(word);
        }
        for (std::size_t length = 1; length <= 3; ++length)
            for (std::size_t start = 0; start + length <= words.size(); ++start) {
                std::string run;
                for (std::size_t k = start; k < start + length; ++k)
                    run += encodeIn(words[k], 1252) + ' ';
                std::vector<std::vector<std::string>> tables = {{run}, {run, codes}};
                if (hasLongWordBeyondAscii(run))
                    tables.push_back({run, scrambled});
                for (const auto& columns : tables)
                    for (const char* locale : locales) {
                        if (columns.size() > 1 &&
                            std::string_view("C en_US ru_RU el_GR").find(locale) ==
                                std::string_view::npos)
                            continue;
                        const codepage::Choice choice =
                            codepage::chooseCodePage(sampleOf(columns), locale);
                        ASSERT_EQ(choice.codePage, 1252)
                            << locale << ": " << run << " beside " << columns.size() - 1
                            << " column(s): " << choice.explanation;
                    }
            }
    }
}

// Any bytes in any code page: a share between 0 and 1, and a choice of a code
// page the reader knows.
TEST(CodePageChoice, AnyBytesGiveAShareAndAKnownCodePage) {
    std::mt19937 random(27);
    for (int round = 0; round < 1000; ++round) {
        std::string bytes(random() % 120, '\0');
        for (char& c : bytes)
            c = static_cast<char>(round % 2 ? 0x80 + random() % 128 : random() % 256);
        for (const int page :
             {1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 874, 437, 936}) {
            const double share = codepage::nonsenseShare(bytes, page);
            ASSERT_TRUE(share >= 0.0 && share <= 1.0) << page;
        }
        const codepage::TextSample sample = sampleOf({bytes});
        const int chosen =
            codepage::chooseCodePage(sample, round % 3 ? "ru_RU.UTF-8" : "C").codePage;
        ASSERT_NE(paradox::findCodePage(chosen), nullptr) << chosen;
    }
}

namespace {

// The send of one table of each language, on SQLite and PostgreSQL, by an
// administrator with an English locale.
class SendInCodePageTest : public testing_support::WorkspaceTest,
                           public ::testing::WithParamInterface<QString> {
protected:
    QString kind() const override { return GetParam(); }
};

} // namespace

TEST_P(SendInCodePageTest, TextArrivesInItsScript) {
    const UserLocale locale("en_US.UTF-8");
    if (!locale.available())
        GTEST_SKIP() << "the en_US.UTF-8 locale is not installed (scripts/test makes it)";
    std::vector<std::pair<QString, const LanguageTexts*>> sent;
    for (const auto* set : {&code_page_texts::foreignTexts(), &code_page_texts::westernTexts()})
        for (const LanguageTexts& texts : *set)
            sent.emplace_back(addParadoxTable(QString::fromStdString(texts.language),
                                              designFor(texts), rowsOf(texts, texts.values)),
                              &texts);
    env.run(transfer::sendTables);
    ASSERT_TRUE(env.dialogs.shown.empty()) << env.dialogs.messages().join("|").toStdString();
    for (const auto& [table, texts] : sent) {
        SCOPED_TRACE(texts->language);
        const QString field = QString::fromStdString(texts->fieldName);
        const odbc::Rows arrived = database.connection().query(
            "SELECT \"" + field + "\", \"NOTE\" FROM \"" + table + "\" ORDER BY \"ID\"");
        ASSERT_EQ(arrived.rows.size(), texts->values.size());
        for (std::size_t i = 0; i < texts->values.size(); ++i)
            EXPECT_EQ(arrived.rows[i].at(i % 2),
                      odbc::Value(QString::fromStdString(texts->values[i])));
    }

    // The code page the user names beats the guess in the send as well.
    const QString table = sent.back().first;
    for (int i = 0; i < env.paradoxList.count(); ++i)
        env.paradoxList.setSelectedAt(i, env.paradoxList.textAt(i) == table);
    env.dialogs.answers = {userio::Dialogs::Answer::Yes};
    ::setenv(codepage::CodePageVariable, "1251", 1);
    env.run(transfer::sendTables);
    ::unsetenv(codepage::CodePageVariable);
    std::vector<std::string> arrived;
    for (const auto& row :
         database.connection().query("SELECT * FROM \"" + table + "\" ORDER BY \"ID\"").rows)
        for (std::size_t column = 1; column < row.size(); ++column)
            if (row[column])
                arrived.push_back(row[column]->toStdString());
    paradox::TableOptions cyrillic;
    cyrillic.codePageOverride = 1251;
    EXPECT_EQ(arrived, textsOf(paradox::openTable(
                           (folder.path() + "/" + table + ".db").toStdString(), cyrillic)));
}

INSTANTIATE_TEST_SUITE_P(DataSources, SendInCodePageTest, ::testing::Values("SQLite", "PostgreSQL"),
                         [](const auto& info) { return info.param.toStdString(); });
