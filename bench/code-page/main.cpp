// The code page choice on short texts and its cost. Prints name=value lines.
//
//     bench-code-page
//         detector_<n>_<m>_{right,wrong,none}: the share (%) of word runs of
//             the test languages' texts, holding n to m bytes beyond ASCII,
//             for which uchardet names the right code page, a wrong one that
//             the reader knows, or none of them;
//         short_<k>_{right,header,wrong}: tables of k values (few: the few
//             words of each language) under the C locale, decoded in their
//             writer's code page, left as the header says, or in another;
//         choose_seconds_<rows>, read_seconds_<rows>: choosing the code page
//             of the transfer benchmarks' table against reading it whole.

#include "Bench.h"
#include "sources/CodePageChoice.h"
#include "support/CodePageTexts.h"

#include <QTemporaryDir>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace pw = paradox_writer;
using testing_support::encodeIn;
using testing_support::LanguageTexts;

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
    for (const LanguageTexts& texts : testing_support::foreignTexts()) {
        const std::vector<std::string> words = wordsOf(texts);
        for (std::size_t length = 1; length <= 12; ++length)
            for (std::size_t start = 0; start + length <= words.size(); ++start) {
                std::string run;
                for (std::size_t k = start; k < start + length; ++k)
                    run += words[k] + ' ';
                const auto high = static_cast<int>(bytesBeyondAscii(run));
                const int found = sources::detectCodePage(run).codePage;
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

int choose(const std::vector<std::string>& values, int codePage) {
    sources::TextSample sample;
    sample.headerCodePage = 1252;
    for (const std::string& value : values)
        sample.bytes += encodeIn(value, codePage) + '\n';
    sample.highBytes = bytesBeyondAscii(sample.bytes);
    return sources::chooseCodePage(sample, "C").codePage;
}

void measureShortTables() {
    for (const std::size_t k : {1u, 2u, 3u, 5u}) {
        Tally tally;
        for (const LanguageTexts& texts : testing_support::foreignTexts())
            for (std::size_t start = 0; start + k <= texts.values.size(); ++start) {
                const int page = choose({texts.values.begin() + static_cast<long>(start),
                                         texts.values.begin() + static_cast<long>(start + k)},
                                        texts.codePage);
                (page == texts.codePage ? tally.right : page == 1252 ? tally.none : tally.wrong)++;
            }
        tally.print("short_" + std::to_string(k), "header");
    }
    Tally few;
    for (const LanguageTexts& texts : testing_support::foreignTexts()) {
        const int page = choose(texts.fewWords, texts.codePage);
        (page == texts.codePage ? few.right : page == 1252 ? few.none : few.wrong)++;
    }
    few.print("short_few", "header");
}

void measureCost() {
    const QTemporaryDir folder;
    for (const std::int64_t rows : {100000, 1000000}) {
        const QString path = folder.path() + "/SENT" + QString::number(rows) + ".db";
        bench::writeSentTable(path, rows);
        const std::filesystem::path file = path.toStdString();
        const double choose = bench::secondsOf([&] { (void)sources::codePageOfTable(file); });
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
    measureDetector();
    measureShortTables();
    measureCost();
}
