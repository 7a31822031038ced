// Fuzzes opening a Paradox table and reading every value, all in memory. The
// input is a 4-byte little-endian length n, then n bytes of .db file, then
// the rest as its .mb file (none when nothing is left).

#include "platform/paradox/Table.h"

#include <cstdint>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    std::size_t dbSize = data[0] | (data[1] << 8) | (data[2] << 16) | (std::size_t{data[3]} << 24);
    data += 4;
    size -= 4;
    if (dbSize > size)
        dbSize = size;
    const auto* bytes = reinterpret_cast<const char*>(data);
    auto db = std::make_unique<paradox::MemoryBytes>("T.db", std::string(bytes, dbSize));
    std::unique_ptr<paradox::MemoryBytes> mb;
    if (size > dbSize)
        mb = std::make_unique<paradox::MemoryBytes>("T.mb",
                                                    std::string(bytes + dbSize, size - dbSize));
    try {
        paradox::TableFile table(std::move(db), std::move(mb));
        for (; !table.eof(); table.moveNext())
            for (std::size_t i = 0; i < table.fields().size(); ++i)
                (void)table.value(i);
    } catch (const paradox::Error&) {
    }
    return 0;
}
