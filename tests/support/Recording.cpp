#include "Recording.h"

namespace testing_support {

namespace {

class RecordingConnection : public odbc::ForwardingConnection {
public:
    RecordingConnection(std::unique_ptr<odbc::Connection> real, RecordingOpener& owner)
        : ForwardingConnection(std::move(real)), owner_(owner) {}
    ~RecordingConnection() override { ++owner_.closed; }

    void execute(const QString& statement) override {
        owner_.statements << statement;
        ForwardingConnection::execute(statement);
    }

private:
    RecordingOpener& owner_;
};

} // namespace

std::unique_ptr<odbc::Connection> RecordingOpener::open(const odbc::OpenRequest& request) {
    auto connection = std::make_unique<RecordingConnection>(real_.open(request), *this);
    opened << request.connectionString;
    return connection;
}

} // namespace testing_support
