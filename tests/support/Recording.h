#pragma once

// Stand-ins around the real components: an opener that records every
// statement sent through the connections it opens, and fixed settings.

#include "platform/odbc/Odbc.h"
#include "sources/Settings.h"

#include <QStringList>

namespace testing_support {

class RecordingOpener : public odbc::Opener {
public:
    explicit RecordingOpener(odbc::Opener& real) : real_(real) {}
    std::unique_ptr<odbc::Connection> open(const odbc::OpenRequest& request) override;

    QStringList statements; // every statement executed, in order
    QStringList opened;     // the connection string of every open that succeeded
    int closed = 0;         // connections released

private:
    odbc::Opener& real_;
};

struct FixedSettings : sources::ConnectionSettings {
    QString folder;
    QString dataSource;
    QString paradoxFolder() const override { return folder; }
    QString dataSourceName() const override { return dataSource; }
};

} // namespace testing_support
