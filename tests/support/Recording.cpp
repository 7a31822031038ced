#include "Recording.h"

namespace testing_support {

namespace {

class RecordingConnection : public odbc::Connection {
public:
    RecordingConnection(std::unique_ptr<odbc::Connection> real, RecordingOpener& owner)
        : real_(std::move(real)), owner_(owner) {}
    ~RecordingConnection() override { ++owner_.closed; }

    void execute(const QString& statement) override {
        owner_.statements << statement;
        real_->execute(statement);
    }
    std::unique_ptr<odbc::CatalogRows> tables() override { return real_->tables(); }
    odbc::Rows query(const QString& statement) override { return real_->query(statement); }

private:
    std::unique_ptr<odbc::Connection> real_;
    RecordingOpener& owner_;
};

} // namespace

std::unique_ptr<odbc::Connection> RecordingOpener::open(const odbc::OpenRequest& request) {
    auto connection = std::make_unique<RecordingConnection>(real_.open(request), *this);
    opened << request.connectionString;
    return connection;
}

} // namespace testing_support
