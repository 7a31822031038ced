#pragma once

// Helpers of the Paradox reader tests: a temporary folder and whole-file
// byte access.

#include "platform/paradox/Table.h"

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testing_support {

// A temporary folder, removed with its contents on destruction.
struct TempFolder : QTemporaryDir {
    std::filesystem::path path() const { return QTemporaryDir::path().toStdString(); }
    std::string file(const std::string& name) const { return (path() / name).string(); }
};

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Reads every value of every row; returns the rows read. Throws
// paradox::Error as the reader does.
inline std::int64_t readEveryValue(paradox::TableFile table) {
    std::int64_t rows = 0;
    for (; !table.eof(); table.moveNext(), ++rows)
        for (std::size_t i = 0; i < table.fields().size(); ++i)
            (void)table.value(i);
    return rows;
}

inline std::int64_t readEveryValue(const std::string& path) {
    return readEveryValue(paradox::TableFile(path));
}

} // namespace testing_support
