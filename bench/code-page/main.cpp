// The code page choice on short texts and its cost. Prints name=value lines.
//
//     bench-code-page
//         detector_<n>_<m>_{right,wrong,none}: the share (%) of word runs of
//             the test languages' texts, holding n to m bytes beyond ASCII,
//             for which uchardet names the right code page, a wrong one that
//             the reader knows, or none of them;
//         short_<locale>_<k>_{right,header,wrong}: tables of k values (few:
//             the few words of each language) decoded in their writer's code
//             page, left as the header says, or in another, under the C
//             locale, an English one and the writer's own;
//         western_<locale>_wrong: runs of 1 to 3 Western words, alone, beside
//             short capital codes and (where a word of three letters or more
//             holds one beyond ASCII) beside passwords stored with the high
//             bit set, that leave 1252;
//         choose_seconds_<rows>, read_seconds_<rows>: choosing the code page
//             of the transfer benchmarks' table against reading it whole.
//
// It uses only the sampler and the choice, so that it runs against earlier
// versions of them too.

#include "Bench.h"
#include "code-page-texts/CodePageTexts.h"
#include "sources/codepage/Choice.h"
#include "sources/codepage/Detector.h"

#include <QTemporaryDir>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace pw = paradox_writer;
using code_page_texts::encodeIn;
using code_page_texts::LanguageTexts;

namespace {

std::vector<std::string> wordsOf(const LanguageTexts& texts) {
    std::vector<std::string> words;
    for (const std::string& value : texts.values) {
        std::istringstream in(value);
        for (std::string word; in >> word;)
            words.push_back(encodeIn(word, texts.codePage));
    }
    return words;
}

std::size_t bytesBeyondAscii(const std::string& text) {
    std::size_t n = 0;
    for (const char c : text)
        n += static_cast<unsigned char>(c) >= 0x80;
    return n;
}

struct Tally {
    int right = 0, wrong = 0, none = 0;
    int total() const { return right + wrong + none; }
    void count(int chosen, int page) { (chosen == page ? right : chosen == 1252 ? none : wrong)++; }
    void print(const std::string& name, const char* noneName = "none") const {
        const auto share = [&](int n) { return 100.0 * n / std::max(total(), 1); };
        bench::print(name + "_right", share(right), 1);
        bench::print(name + "_wrong", share(wrong), 1);
        bench::print(name + "_" + noneName, share(none), 1);
    }
};

// Runs of 1 to 12 words, by how many bytes beyond ASCII they hold.
void measureDetector() {
    const std::pair<int, int> ranges[] = {{1, 2},   {3, 5},   {6, 9},    {10, 15},
                                          {16, 24}, {25, 39}, {40, 1000}};
    std::vector<Tally> tallies(std::size(ranges));
    for (const LanguageTexts& texts : code_page_texts::foreignTexts()) {
        const std::vector<std::string> words = wordsOf(texts);
        for (std::size_t length = 1; length <= 12; ++length)
            for (std::size_t start = 0; start + length <= words.size(); ++start) {
                std::string run;
                for (std::size_t k = start; k < start + length; ++k)
                    run += words[k] + ' ';
                const auto high = static_cast<int>(bytesBeyondAscii(run));
                const int found = codepage::detectCodePage(run).codePage;
                for (std::size_t r = 0; r < std::size(ranges); ++r)
                    if (high >= ranges[r].first && high <= ranges[r].second) {
                        Tally& t = tallies[r];
                        (found == texts.codePage  ? t.right
                         : found && found != 1252 ? t.wrong
                                                  : t.none)++;
                    }
            }
    }
    for (std::size_t r = 0; r < std::size(ranges); ++r)
        tallies[r].print("detector_" + std::to_string(ranges[r].first) + "_" +
                         std::to_string(ranges[r].second));
}

// The choice for a table of Alpha columns holding these bytes, one value a
// line.
int choose(const std::vector<std::vector<std::string>>& columns, const std::string& locale) {
    std::vector<paradox::Field> fields;
    for (std::size_t i = 0; i < columns.size(); ++i)
        fields.push_back(
            {std::string(1, static_cast<char>('A' + i)), paradox::FieldType::Alpha, 255, 200});
    codepage::TextSampler sampler(1252, fields);
    for (std::size_t i = 0; i < columns.size(); ++i)
        for (const std::string& value : columns[i])
            sampler.add(i, value);
    return codepage::chooseCodePage(sampler.sample(), locale).codePage;
}

std::vector<std::string> encoded(std::vector<std::string> values, int codePage) {
    for (std::string& value : values)
        value = encodeIn(value, codePage);
    return values;
}

std::string ownLocaleOf(int codePage) {
    switch (codePage) {
    case 1250:
        return "pl_PL.UTF-8";
    case 1251:
        return "ru_RU.UTF-8";
    case 1253:
        return "el_GR.UTF-8";
    case 1254:
        return "tr_TR.UTF-8";
    case 1255:
        return "he_IL.UTF-8";
    case 1256:
        return "ar_EG.UTF-8";
    }
    return "C";
}

void measureShortTables() {
    for (const std::string locale : {"C", "en_US", "own"}) {
        const auto localeFor = [&](const LanguageTexts& texts) {
            return locale == "own" ? ownLocaleOf(texts.codePage) : locale;
        };
        for (const std::size_t k : {1u, 2u, 3u, 5u}) {
            Tally tally;
            for (const LanguageTexts& texts : code_page_texts::foreignTexts())
                for (std::size_t start = 0; start + k <= texts.values.size(); ++start) {
                    const std::vector<std::string> values(
                        texts.values.begin() + static_cast<long>(start),
                        texts.values.begin() + static_cast<long>(start + k));
                    tally.count(choose({encoded(values, texts.codePage)}, localeFor(texts)),
                                texts.codePage);
                }
            tally.print("short_" + locale + "_" + std::to_string(k), "header");
        }
        Tally few;
        for (const LanguageTexts& texts : code_page_texts::foreignTexts())
            few.count(choose({encoded(texts.fewWords, texts.codePage)}, localeFor(texts)),
                      texts.codePage);
        few.print("short_" + locale + "_few", "header");
    }
}

void measureWestern() {
    const std::vector<std::string> codes =
        encoded({"ÉÉ", "ÀÀ", "ÜÖ", "ÇÉ", "ÑÑ", "ØÅ", "ÉÀ", "ÖÜ"}, 1252);
    std::vector<std::string> scrambled;
    for (int row = 0; row < 5; ++row)
        for (const char* password :
             {"sesame", "hansen", "snoopy", "Berlin", "hunter", "dennis", "monkey", "shadow",
              "sunshine", "cheese", "Jessie", "tennis"}) {
            scrambled.emplace_back();
            for (const char c : std::string(password))
                scrambled.back() += static_cast<char>(c | 0x80);
        }
    for (const char* locale : {"C", "en_US", "ru_RU", "el_GR", "tr_TR"}) {
        int runs = 0, wrong = 0;
        for (const LanguageTexts& texts : code_page_texts::westernTexts()) {
            std::vector<std::string> words = encoded(texts.fewWords, 1252);
            for (const std::string& word : wordsOf(texts))
                words.push_back(word);
            for (std::size_t length = 1; length <= 3; ++length)
                for (std::size_t start = 0; start + length <= words.size(); ++start) {
                    const std::vector<std::string> run(words.begin() + static_cast<long>(start),
                                                       words.begin() +
                                                           static_cast<long>(start + length));
                    std::vector<std::vector<std::vector<std::string>>> tables = {{run},
                                                                                 {run, codes}};
                    if (std::any_of(run.begin(), run.end(), [](const std::string& word) {
                            return word.size() >= 3 && bytesBeyondAscii(word) > 0;
                        }))
                        tables.push_back({run, scrambled});
                    for (const auto& table : tables) {
                        ++runs;
                        wrong += choose(table, locale) != 1252;
                    }
                }
        }
        bench::print(std::string("western_") + locale + "_wrong", 100.0 * wrong / runs, 2);
    }
}

void measureCost() {
    const QTemporaryDir folder;
    for (const std::int64_t rows : {100000, 1000000}) {
        const QString path = folder.path() + "/SENT" + QString::number(rows) + ".db";
        bench::writeSentTable(path, rows);
        const std::filesystem::path file = path.toStdString();
        const double choose = bench::secondsOf([&] { (void)codepage::codePageOfTable(file); });
        const double read = bench::secondsOf([&] {
            paradox::Recordset table = paradox::openTable(file);
            for (; !table.eof(); table.moveNext())
                for (std::size_t i = 0; i < table.fields().size(); ++i)
                    (void)table.value(i);
        });
        bench::print("choose_seconds_" + std::to_string(rows), choose);
        bench::print("read_seconds_" + std::to_string(rows), read);
    }
}

} // namespace

int main() {
    ::setenv("LC_ALL", "C", 1);
    ::unsetenv("ORVANDEL_CODE_PAGE");
    measureDetector();
    measureShortTables();
    measureWestern();
    measureCost();
}
