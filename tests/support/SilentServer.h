#pragma once

// A server that takes connections and never says a word: a socket listening
// on 127.0.0.1 at the port scripts/test gave its silent data sources
// (ORVANDEL_TEST_SILENT_PORT). The kernel completes every connection into
// the listen queue; nothing ever accepts or answers them.

#include <QString>

namespace testing_support {

class SilentServer {
public:
    // Listens at once; listening() is false when the port is not set.
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    bool listening() const { return socket_ >= 0; }
    // Why it does not listen, for a skip message.
    const QString& problem() const { return problem_; }

private:
    int socket_ = -1;
    QString problem_;
};

} // namespace testing_support
