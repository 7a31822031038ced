#pragma once

// One open Paradox table: its header, the block chain and the current row.
// Rows are read one block at a time.

#include "platform/paradox/CodePage.h"
#include "platform/paradox/Header.h"
#include "platform/paradox/Memo.h"
#include "platform/paradox/Paradox.h"
#include "platform/paradox/Source.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace paradox {

class TableFile {
public:
    // Opens the table file at path, with its .mb file when it has memo or
    // BLOB fields. Throws Error naming the file when anything is wrong.
    explicit TableFile(const std::string& path, TableOptions options = {});
    // Opens the table file at path with the memo file memoPath (none when
    // nothing is given).
    TableFile(const std::string& path, const std::optional<std::string>& memoPath,
              TableOptions options = {});
    // Reads a table from any bytes; memo may be null when there is no memo
    // file, which is an error only for a table with memo or BLOB fields.
    TableFile(std::unique_ptr<ByteSource> data, std::unique_ptr<ByteSource> memo,
              TableOptions options = {});

    const std::vector<Field>& fields() const { return fields_; }
    std::int64_t recordCount() const { return total_; }
    bool eof() const { return row_ >= total_; }
    void moveNext();
    Value value(std::size_t i);

    // Facts about the table, for tools and tests.
    const TableHeader& header() const { return header_; }
    int codePage() const { return codePage_; }
    // The code page the header names (by number, else by sort order); 0 for none.
    int headerCodePage() const;
    const std::vector<std::string>& warnings() const { return warnings_; }

private:
    struct BlockRef {
        std::uint16_t number;
        std::uint16_t count;
        std::uint16_t next; // as the chain was at open
    };

    // Called only for a table with memo or BLOB fields; null when missing.
    using MemoOpener = std::function<std::unique_ptr<ByteSource>()>;

    TableFile(std::unique_ptr<ByteSource> data, const MemoOpener& openMemo, TableOptions options);
    void chooseCodePage(const TableOptions& options);
    void buildFields();
    void openMemoFile(const MemoOpener& openMemo);
    void walkChain();
    std::uint16_t countRecords(std::uint16_t number, std::uint16_t& next);
    std::size_t readBlock(std::uint16_t number, std::size_t wanted);
    void loadBlock(std::size_t chainIndex);
    std::array<std::uint8_t, 12> readCounts() const;
    void checkUnchanged(const BlockRef& ref) const;
    [[noreturn]] void failChanged(const std::string& what) const;
    std::uint64_t blockStart(std::uint16_t number) const;

    Value decodeValue(const FieldLayout& layout, std::size_t i, const std::uint8_t* p);
    Value decodeBlob(const FieldLayout& layout, std::size_t i, const std::uint8_t* p);
    Value decodeBcd(const FieldLayout& layout, std::size_t i, const std::uint8_t* p);
    Value textValue(std::size_t i, std::string_view raw);
    Value memoText(std::size_t i, std::string_view raw);
    [[noreturn]] void failValue(std::size_t i, const std::string& what) const;
    [[noreturn]] void fail(const std::string& what) const;

    std::unique_ptr<ByteSource> file_;
    TableHeader header_;
    std::optional<MemoFile> memo_;
    const CodePageTable* table_ = nullptr;
    int codePage_ = 0;
    std::vector<Field> fields_;
    std::vector<std::string> warnings_;
    bool bcdWarned_ = false;
    bool textAsBytes_ = false;

    std::vector<BlockRef> chain_;
    std::array<std::uint8_t, 12> counts_{}; // the header's record and block counts at open
    std::int64_t total_ = 0;
    std::vector<std::uint8_t> block_;
    std::size_t chainIndex_ = 0;
    std::size_t inBlock_ = 0;
    std::int64_t row_ = 0;

    std::vector<std::string> text_; // per field: decoded text
    std::vector<std::string> raw_;  // per field: memo bytes
};

} // namespace paradox
