#include "platform/odbc/Watchdog.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <linux/sockios.h>
#include <linux/tcp.h>
#include <netdb.h>
#include <netinet/in.h>
#include <string>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace odbc::detail {

namespace {

// How often the sockets are looked at while a call waits.
constexpr std::chrono::milliseconds tick{200};

// How long the watchdog keeps looking after a call ended before it sleeps
// until the next one, so that a run of short calls does not wake it each time.
constexpr std::chrono::seconds linger{1};

constexpr unsigned long long unknownActivity = ~0ULL;

// The inode of a descriptor when it is a socket, else 0.
ino_t socketInode(int descriptor) {
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISSOCK(status.st_mode)) {
        return 0;
    }
    return status.st_ino;
}

bool isStill(const Socket& socket) {
    return socketInode(socket.descriptor) == socket.inode;
}

// A figure that changes whenever bytes move on the socket: for TCP the bytes
// the peer acknowledged and those received; for other sockets the bytes
// queued either way.
unsigned long long activityOf(const Socket& socket) {
    tcp_info info{};
    socklen_t length = sizeof info;
    if (getsockopt(socket.descriptor, IPPROTO_TCP, TCP_INFO, &info, &length) == 0 &&
        length >= offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received) {
        return info.tcpi_bytes_acked + info.tcpi_bytes_received;
    }
    int queuedOut = 0;
    int queuedIn = 0;
    ioctl(socket.descriptor, SIOCOUTQ, &queuedOut);
    ioctl(socket.descriptor, SIOCINQ, &queuedIn);
    return (static_cast<unsigned long long>(static_cast<unsigned>(queuedOut)) << 32) ^
           static_cast<unsigned>(queuedIn);
}

// The sockets' activity, and which sockets they are: a socket that comes or
// goes counts as a move.
unsigned long long activityOf(const std::vector<Socket>& sockets) {
    unsigned long long sum = 0;
    for (const Socket& socket : sockets) {
        const unsigned long long activity = activityOf(socket);
        if (isStill(socket)) { // not closed and reused while it was read
            sum += activity + socket.inode;
        }
    }
    return sum;
}

// "address port" of an Internet address, both numeric; empty for others.
std::string numericAddress(const sockaddr* address, socklen_t length) {
    char host[NI_MAXHOST] = {};
    char port[NI_MAXSERV] = {};
    if (getnameinfo(address, length, host, sizeof host, port, sizeof port,
                    NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        return {};
    }
    std::string text(host);
    // An IPv4 peer of an IPv6 socket.
    if (text.starts_with("::ffff:") && text.find('.') != std::string::npos) {
        text.erase(0, 7);
    }
    return text + ' ' + port;
}

// The server's addresses as numericAddress gives them.
std::vector<std::string> addressesOf(const ServerAddress& server) {
    std::vector<std::string> found;
    if (server.host.empty()) {
        return found;
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(server.host.c_str(), server.port.c_str(), &hints, &list) != 0) {
        return found;
    }
    for (const addrinfo* entry = list; entry; entry = entry->ai_next) {
        found.push_back(numericAddress(entry->ai_addr, entry->ai_addrlen));
    }
    freeaddrinfo(list);
    return found;
}

bool contains(const std::vector<ino_t>& inodes, ino_t inode) {
    return std::ranges::find(inodes, inode) != inodes.end();
}

} // namespace

std::vector<Socket> openSockets() {
    std::vector<Socket> sockets;
    DIR* folder = opendir("/proc/self/fd");
    if (!folder) {
        return sockets;
    }
    const int own = dirfd(folder);
    while (const dirent* entry = readdir(folder)) {
        const std::string_view name(entry->d_name);
        if (name.empty() || name.front() < '0' || name.front() > '9') {
            continue;
        }
        const int descriptor = std::stoi(std::string(name));
        if (descriptor == own) {
            continue;
        }
        if (const ino_t inode = socketInode(descriptor)) {
            sockets.push_back({descriptor, inode});
        }
    }
    closedir(folder);
    return sockets;
}

Watchdog::Watchdog(const ServerAddress& server)
    : serverAddresses_(addressesOf(server)), serverPath_(server.path),
      thread_([this](std::stop_token stop) { watch(stop); }) {
    const std::lock_guard lock(mutex_);
    for (const Socket& socket : openSockets()) {
        others_.push_back(socket.inode);
    }
}

Watchdog::~Watchdog() {
    thread_.request_stop();
    thread_.join();
}

void Watchdog::adoptNewSockets() {
    const std::lock_guard lock(mutex_);
    sockets_ = newServerSockets();
    adopted_ = true;
    for (const Socket& socket : openSockets()) {
        if (!contains(others_, socket.inode) &&
            std::ranges::none_of(sockets_,
                                 [&](const Socket& own) { return own.inode == socket.inode; })) {
            others_.push_back(socket.inode);
        }
    }
}

bool Watchdog::tripped() const {
    const std::lock_guard lock(mutex_);
    return tripped_;
}

// A connected stream socket whose peer is the server.
bool Watchdog::isServerSocket(const Socket& socket) const {
    int type = 0;
    socklen_t typeLength = sizeof type;
    if (getsockopt(socket.descriptor, SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0 ||
        type != SOCK_STREAM) {
        return false;
    }
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (getpeername(socket.descriptor, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
        return false; // not connected
    }
    if (peer.ss_family == AF_UNIX) {
        const auto* local = reinterpret_cast<const sockaddr_un*>(&peer);
        return !serverPath_.empty() &&
               std::string_view(local->sun_path,
                                strnlen(local->sun_path, sizeof local->sun_path)) == serverPath_;
    }
    const std::string address = numericAddress(reinterpret_cast<const sockaddr*>(&peer), length);
    return !address.empty() &&
           std::ranges::find(serverAddresses_, address) != serverAddresses_.end();
}

// Sockets to the server that were opened since the watchdog was made, or
// since the connection's were named.
std::vector<Socket> Watchdog::newServerSockets() const {
    std::vector<Socket> found = openSockets();
    std::erase_if(found, [this](const Socket& socket) {
        return contains(others_, socket.inode) || !isServerSocket(socket);
    });
    return found;
}

// Those of the connection's sockets that are still open, each checked by
// its inode; those that took their place when the driver connected again.
std::vector<Socket> Watchdog::connectionSockets() {
    if (!adopted_) {
        return newServerSockets();
    }
    std::erase_if(sockets_, [](const Socket& socket) { return !isStill(socket); });
    if (sockets_.empty()) {
        sockets_ = newServerSockets();
    }
    return sockets_;
}

// Shutting a socket down, unlike closing it, leaves its descriptor to the
// driver: its blocked read returns, and it closes the socket itself.
void Watchdog::giveUp() {
    tripped_ = true;
    for (const Socket& socket : connectionSockets()) {
        if (isStill(socket)) {
            shutdown(socket.descriptor, SHUT_RDWR);
        }
    }
}

void Watchdog::watch(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    Clock::time_point lastCall = Clock::now();
    while (!stop.stop_requested()) {
        if (!watching_ && Clock::now() - lastCall >= linger) {
            sleeping_ = true;
            wake_.wait(lock, stop, [this] { return watching_; });
            sleeping_ = false;
            lastCall = Clock::now();
            continue;
        }
        wake_.wait_for(lock, stop, tick, [] { return false; });
        if (!watching_) {
            continue;
        }
        lastCall = Clock::now();
        if (tripped_) {
            giveUp(); // sockets the driver opened again since
            continue;
        }
        const std::vector<Socket> sockets = connectionSockets();
        if (sockets.empty()) {
            continue; // nothing that could stop answering (a file database), or not yet
        }
        const unsigned long long moved = activityOf(sockets);
        if (bytesMoved_ == unknownActivity) {
            bytesMoved_ = moved;
        } else if (moved != bytesMoved_) {
            bytesMoved_ = moved;
            lastMove_ = lastCall;
        } else if (lastCall - lastMove_ >= bound_) {
            giveUp();
        }
    }
}

Watchdog::Call::Call(Watchdog& watchdog, std::chrono::milliseconds bound) : watchdog_(watchdog) {
    const std::lock_guard lock(watchdog_.mutex_);
    watchdog_.watching_ = true;
    watchdog_.bound_ = bound;
    watchdog_.lastMove_ = Clock::now();
    watchdog_.bytesMoved_ = unknownActivity;
    if (watchdog_.sleeping_) {
        watchdog_.wake_.notify_one();
    }
}

Watchdog::Call::~Call() {
    const std::lock_guard lock(watchdog_.mutex_);
    watchdog_.watching_ = false;
}

} // namespace odbc::detail
