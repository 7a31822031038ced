#pragma once

// The program's own bound on a wait for a server. Drivers bound some waits
// themselves (a login timeout, a statement timeout carried out by the
// server), but none of them notices a server that takes the connection and
// then never answers, or whose process is stopped: the kernel keeps the
// connection alive and the driver waits in a read for ever. The watchdog
// notices that nothing moves on the connection's sockets and shuts them
// down, so that the driver's read ends with an error and the call returns.
// Private to the ODBC layer.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace odbc::detail {

// A socket of this process: its descriptor and the inode that names it, so
// that a descriptor that was closed and reused is not taken for it.
struct Socket {
    int descriptor = -1;
    ino_t inode = 0;
};

// The sockets this process holds now.
std::vector<Socket> openSockets();

class Watchdog {
public:
    // Watches no socket yet: the sockets opened from now on count as the
    // connection's until adoptNewSockets() names them.
    Watchdog();
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // The sockets opened since the watchdog was made are the connection's.
    void adoptNewSockets();

    // True once the watchdog gave up a call: the connection is broken since.
    bool tripped() const;

    // One blocking call, watched for as long as it lives: given up once
    // nothing moved on the connection's sockets for bound. A connection
    // without sockets (a file database) is never given up.
    class Call {
    public:
        Call(Watchdog& watchdog, std::chrono::milliseconds bound);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        Watchdog& watchdog_;
    };

private:
    using Clock = std::chrono::steady_clock;

    void watch(std::stop_token stop);
    std::vector<Socket> connectionSockets() const;
    void giveUp();

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    std::vector<Socket> before_;  // sockets that were open before the connection
    std::vector<Socket> sockets_; // the connection's, once adopted
    bool adopted_ = false;
    bool watching_ = false;
    bool sleeping_ = false; // the thread waits for the next call, not for a tick
    bool tripped_ = false;
    std::chrono::milliseconds bound_{0};
    Clock::time_point lastMove_;
    unsigned long long bytesMoved_ = 0;
    std::jthread thread_; // last: started once the rest is ready, stopped first
};

} // namespace odbc::detail
