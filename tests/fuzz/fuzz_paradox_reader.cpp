// Fuzzes opening a Paradox table and reading every value. The input is a
// 4-byte little-endian length n, then n bytes of .db file, then the rest as
// its .mb file.

#include "platform/paradox/Table.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string& folder() {
    static const std::string path = [] {
        char name[] = "/tmp/orvandel-fuzz-XXXXXX";
        if (!::mkdtemp(name))
            std::abort();
        return std::string(name);
    }();
    return path;
}

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t n) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (n && std::fwrite(data, 1, n, f) != n)
        std::abort();
    std::fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    std::size_t dbSize = data[0] | (data[1] << 8) | (data[2] << 16) | (std::size_t{data[3]} << 24);
    data += 4;
    size -= 4;
    if (dbSize > size)
        dbSize = size;
    const std::string db = folder() + "/T.db";
    const std::string mb = folder() + "/T.mb";
    writeFile(db, data, dbSize);
    writeFile(mb, data + dbSize, size - dbSize);
    try {
        paradox::TableFile table(db);
        for (; !table.eof(); table.moveNext())
            for (std::size_t i = 0; i < table.fields().size(); ++i)
                (void)table.value(i);
    } catch (const paradox::Error&) {
    }
    return 0;
}
