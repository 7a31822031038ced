#pragma once

// The bytes of a table's text that the code page choice weighs, gathered
// while the table is read.

#include "platform/paradox/Paradox.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace codepage {

// The bytes of a table's text before decoding, column by column: the field
// names first, then the values of each field that hold bytes beyond ASCII,
// one a line.
struct TextSample {
    int headerCodePage = 0; // by number, else by sort order; 0 for none
    std::vector<std::string> columns;
    std::size_t size = 0;      // bytes in columns
    std::size_t highBytes = 0; // bytes of 0x80 and above in columns
};

// The files a table is read from.
struct TableFiles {
    // The memo file beside the data file, as the reader finds it.
    TableFiles(std::filesystem::path dataFile); // NOLINT: a data file alone names a table
    // The memo file as the caller found it; nothing: the table has none.
    TableFiles(std::filesystem::path dataFile, std::optional<std::filesystem::path> memoFile);

    std::filesystem::path dataFile;
    std::optional<std::filesystem::path> memoFile;
};

// Gathers the sample of a table's text from its values, read as bytes, row
// after row; whoever reads the table feeds it until it wants no more.
class TextSampler {
public:
    // The fields as read with their names as bytes.
    TextSampler(int headerCodePage, const std::vector<paradox::Field>& fields);

    // False once the sample is full (64 KiB beyond ASCII, or 4 MiB of text
    // seen), or when nothing in the table can change the choice (a header
    // naming another code page, no text field).
    bool wantsMore() const;
    // Whether values of the field go into the sample.
    bool takes(std::size_t field) const { return field < takes_.size() && takes_[field]; }
    // Adds a value of a field that takes() as its bytes.
    void add(std::size_t field, std::string_view bytes);

    const TextSample& sample() const { return sample_; }

private:
    TextSample sample_;
    std::vector<bool> takes_;
    bool anyText_ = false;
    std::size_t seen_ = 0; // bytes of values added
};

// Reads the sample of a table's text; with values unset, only its field
// names (when the values cannot change the choice). Throws paradox::Error
// when the table cannot be opened.
TextSample readTextSample(const TableFiles& table, bool values = true);

} // namespace codepage
