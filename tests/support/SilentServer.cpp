#include "support/SilentServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support {

SilentServer::SilentServer() {
    bool portGiven = false;
    const int port = qEnvironmentVariableIntValue("ORVANDEL_TEST_SILENT_PORT", &portGiven);
    if (!portGiven) {
        problem_ =
            QStringLiteral("no silent port: set ORVANDEL_TEST_SILENT_PORT (scripts/test does)");
        return;
    }
    socket_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    // Two test processes may listen at once; each connection goes to one.
    setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    setsockopt(socket_, SOL_SOCKET, SO_REUSEPORT, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(socket_, 64) != 0) {
        problem_ = QStringLiteral("cannot listen on port %1: %2")
                       .arg(port)
                       .arg(QString::fromLocal8Bit(std::strerror(errno)));
        close(socket_);
        socket_ = -1;
    }
}

SilentServer::~SilentServer() {
    if (socket_ >= 0) {
        close(socket_);
    }
}

} // namespace testing_support
