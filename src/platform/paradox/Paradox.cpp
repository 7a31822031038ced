#include "platform/paradox/Paradox.h"

#include "platform/paradox/Table.h"

namespace paradox {

Recordset::Recordset(std::unique_ptr<TableFile> table) : table_(std::move(table)) {}
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;
Recordset::~Recordset() = default;

namespace {
TableFile& openTable(const std::unique_ptr<TableFile>& table) {
    if (!table)
        throw Error("the recordset is closed");
    return *table;
}
} // namespace

const std::vector<Field>& Recordset::fields() const {
    return openTable(table_).fields();
}
std::int64_t Recordset::recordCount() const {
    return openTable(table_).recordCount();
}
bool Recordset::eof() const {
    return openTable(table_).eof();
}
void Recordset::moveNext() {
    openTable(table_).moveNext();
}
Value Recordset::value(std::size_t i) {
    return openTable(table_).value(i);
}
void Recordset::close() {
    table_.reset();
}
const std::vector<std::string>& Recordset::warnings() const {
    return openTable(table_).warnings();
}

Recordset openTable(const std::filesystem::path& dataFile, const TableOptions& options) {
    return Recordset(std::make_unique<TableFile>(dataFile.native(), options));
}

Recordset openTable(const std::filesystem::path& dataFile,
                    const std::optional<std::filesystem::path>& memoFile,
                    const TableOptions& options) {
    std::optional<std::string> memo;
    if (memoFile)
        memo = memoFile->native();
    return Recordset(std::make_unique<TableFile>(dataFile.native(), memo, options));
}

} // namespace paradox
