#pragma once

// Helpers of the Paradox reader tests: a temporary folder and whole-file
// byte access.

#include "platform/paradox/Table.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace testing_support {

// A fresh folder under the system temporary folder, removed with its
// contents on destruction.
class TempFolder {
public:
    TempFolder() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("orvandel-px-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
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
