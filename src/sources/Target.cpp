#include "sources/Target.h"

#include <QList>

namespace sources {

namespace {

int limitOf(const Engine& engine, int reported) {
    if (engine.nameLimit < 0) {
        return 0;
    }
    return engine.nameLimit > 0 ? engine.nameLimit : reported;
}

qsizetype lengthOf(const QString& name, NameUnit unit) {
    return unit == NameUnit::Utf8Bytes ? name.toUtf8().size() : name.toUcs4().size();
}

} // namespace

Target::Target(std::unique_ptr<odbc::Connection> connection) : connection_(std::move(connection)) {
    const odbc::ServerInfo server = connection_->server();
    engine_ = &engineNamed(server.dbmsName);
    tableNameLimit_ = limitOf(*engine_, server.maxTableNameLength);
    columnNameLimit_ = limitOf(*engine_, server.maxColumnNameLength);
    if (engine_->sessionSetUp) {
        connection_->execute(QString::fromLatin1(engine_->sessionSetUp));
    }
    if (const char* query = engine_->statementLimit.query) {
        const odbc::Rows limit = connection_->query(QString::fromLatin1(query));
        if (!limit.rows.empty() && !limit.rows[0].empty() && limit.rows[0][0]) {
            statementLimit_ = limit.rows[0][0]->toLongLong();
        }
    }
}

QString Target::howToRaiseStatementLimit() const {
    return QString::fromLatin1(engine_->statementLimit.howToRaise);
}

std::unique_ptr<odbc::CatalogRows> Target::tables() const {
    return connection_->tables(engine_->ownDatabaseOnly ? connection_->currentCatalog()
                                                        : std::nullopt);
}

QString Target::nameTooLong(const QString& name, NameKind kind) const {
    const int limit = kind == NameKind::Table ? tableNameLimit_ : columnNameLimit_;
    const qsizetype length = lengthOf(name, engine_->nameUnit);
    if (limit <= 0 || length <= limit) {
        return {};
    }
    const QString unit = engine_->nameUnit == NameUnit::Utf8Bytes ? QStringLiteral("bytes")
                                                                  : QStringLiteral("characters");
    return QStringLiteral("is %1 %2 long, and the data source keeps %3 names of at most %4 %2")
        .arg(length)
        .arg(unit, kind == NameKind::Table ? QStringLiteral("table") : QStringLiteral("column"))
        .arg(limit);
}

Target openTarget(const LiveSettings& settings, odbc::Opener& opener, Provider provider) {
    const QString name = provider == Provider::Odbc ? QStringLiteral("MSDASQL") : QString();
    return Target(opener.open({sybaseConnectionString(settings.dataSourceName()), name}));
}

} // namespace sources
