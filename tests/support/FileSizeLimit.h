#pragma once

// A limit on the size of the files the process writes, standing in for a
// full disk: writes past it fail instead of ending the process.

#include <csignal>
#include <sys/resource.h>

namespace testing_support {

// Keeps the file size limit and the handling of SIGXFSZ it finds, and puts
// them back when it goes, however the test ended.
class FileSizeLimit {
public:
    FileSizeLimit() {
        ::getrlimit(RLIMIT_FSIZE, &limit_);
        ::sigaction(SIGXFSZ, nullptr, &handling_);
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // Files may grow to bytes and no further.
    static void limit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }

    // The limit and signal handling as they were found.
    void lift() {
        ::setrlimit(RLIMIT_FSIZE, &limit_);
        ::sigaction(SIGXFSZ, &handling_, nullptr);
    }

private:
    rlimit limit_{};
    struct sigaction handling_ {};
};

} // namespace testing_support
