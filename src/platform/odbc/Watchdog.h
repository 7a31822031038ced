#pragma once

// The program's own bound on a wait for a server. Drivers bound some waits
// themselves (a login timeout, a statement timeout carried out by the
// server), but none of them notices a server that takes the connection and
// then never answers, or whose process is stopped: the kernel keeps the
// connection alive and the driver waits in a read for ever. The watchdog
// notices that nothing moves on the connection's sockets and shuts them
// down, so that the driver's read ends with an error and the call returns.
// It takes for the connection's only the connected stream sockets whose peer
// is the data source's server, looked at anew (descriptor and inode) each
// time: a socket another thread opens, or one that reuses a closed
// descriptor's number, is neither watched nor shut down.
// Private to the ODBC layer.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
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

// Where a data source's server listens: a host (name or address) and port,
// or the path of a local socket; both empty when it has no server.
struct ServerAddress {
    std::string host;
    std::string port;
    std::string path;
};

class Watchdog {
public:
    // Watches no socket yet. The connection's sockets are the connected
    // stream sockets to server that are opened from now on; adoptNewSockets()
    // names them once connected.
    explicit Watchdog(const ServerAddress& server);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // The connection's sockets are those to the server opened since the
    // watchdog was made. When they are all closed later, those to the server
    // that were opened since take their place (the driver connected again).
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
    bool isServerSocket(const Socket& socket) const;
    std::vector<Socket> newServerSockets() const;
    std::vector<Socket> connectionSockets();
    void giveUp();

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    std::vector<std::string> serverAddresses_; // "address port", numeric
    std::string serverPath_;
    std::vector<ino_t> others_;   // sockets that are not the connection's
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
