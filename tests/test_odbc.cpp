// The ODBC layer against the real SQLite, PostgreSQL and MariaDB data sources of
// scripts/test, plus the connection string rules, which need no database.

#include "platform/odbc/ConnectionString.h"
#include "platform/odbc/DriverKeys.h"
#include "platform/odbc/Handles.h"
#include "platform/odbc/Odbc.h"
#include "support/Databases.h"

#include <QRegularExpression>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

using namespace testing_support;

std::string show(const QString& text) {
    return text.toStdString();
}

// Runs body and returns the error it raised; fails the test when none.
template <typename Body> odbc::Error errorOf(Body body) {
    try {
        body();
    } catch (const odbc::Error& error) {
        return error;
    }
    ADD_FAILURE() << "no odbc::Error was raised";
    return odbc::Error(0, QString());
}

bool holdsSqlState(const QString& description) {
    static const QRegularExpression state(QStringLiteral("(^|\\n)[0-9A-Z]{5}: \\S"));
    return state.match(description).hasMatch();
}

// ---- connection string, no database needed --------------------------------

TEST(ConnectionString, TakesTheNameWithoutBlanksAndPassesOtherKeysOn) {
    const auto parsed = [](const char* text, const char* provider = "") {
        const auto request = odbc::detail::dataSourceOf({text, provider});
        return show(request.name) + "|" + show(request.driverKeys);
    };
    EXPECT_EQ(parsed("Data Source=Sales"), "Sales|");
    EXPECT_EQ(parsed("  DATA source = My DSN ;"), "My DSN|");
    EXPECT_EQ(parsed("Provider=msdasql;Data Source=X", "MSDASQL"), "X|");
    EXPECT_EQ(parsed("Data Source="), "|");
    EXPECT_EQ(parsed(""), "|");
    EXPECT_EQ(parsed("Data Source=MyDSN;UID=me;PWD=sec ret"), "MyDSN|UID=me;PWD=sec ret");
}

TEST(ConnectionString, RefusesOtherProvidersAndMalformedParts) {
    const auto refused = [](const odbc::OpenRequest& request, const char* named) {
        const odbc::Error error = errorOf([&] { odbc::OdbcOpener().open(request); });
        EXPECT_TRUE(error.description().contains(QLatin1String(named)))
            << show(error.description());
    };
    refused({"Data Source=X", "SQLOLEDB"}, "SQLOLEDB");
    refused({"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=X", ""}, "Microsoft.Jet.OLEDB.4.0");
    refused({"Data Source=X;garbage", ""}, "garbage");
}

// The drivers' own bounds join the keys typed after the data source name,
// never over a key typed or set by the data source; a pqopt of either keeps
// its options and gains the others.
TEST(ConnectionString, DriversGetTheirBoundsUnlessTypedOrSetByTheDataSource) {
    using namespace std::chrono_literals;
    const odbc::Timeouts bounds{15s, 30s, 5s};
    struct Case {
        const char* kind;
        QString typed;
        QString keys;
    };
    for (const Case& c : {
             Case{"MariaDB", "", "CONN_TIMEOUT=15;READ_TIMEOUT=35;WRITE_TIMEOUT=35"},
             Case{"MariaDB", "UID=me;read_timeout=7",
                  "UID=me;read_timeout=7;CONN_TIMEOUT=15;"
                  "WRITE_TIMEOUT=35"},
             Case{"SQLite", "", "Timeout=15000"},
             Case{"Empty", "", ""}, // its data source sets Timeout
             Case{"PostgreSQL", "",
                  "pqopt={keepalives=1 keepalives_idle=30 keepalives_interval=1 "
                  "keepalives_count=5 tcp_user_timeout=35000}"},
             Case{"PostgreSQL", "pqopt={keepalives_idle=9};UID=x",
                  "UID=x;pqopt={keepalives=1 keepalives_interval=1 keepalives_count=5 "
                  "tcp_user_timeout=35000 keepalives_idle=9}"},
             Case{"OwnOptions", "",
                  "pqopt={keepalives=1 keepalives_idle=30 keepalives_interval=1 "
                  "tcp_user_timeout=35000 keepalives_count=2}"},
         }) {
        const auto name = dataSourceOf(c.kind);
        if (!name) {
            GTEST_SKIP() << show(missingDataSource(c.kind));
        }
        EXPECT_EQ(show(odbc::detail::withBoundKeys(*name, c.typed, bounds)), show(c.keys))
            << c.kind << " " << show(c.typed);
    }
}

TEST(Open, UnknownOrEmptyDataSourceFailsWithSqlState) {
    const odbc::Error unknown =
        errorOf([] { openDataSource(QStringLiteral("OrvandelNoSuchSource")); });
    EXPECT_TRUE(unknown.description().startsWith(QLatin1String("IM002: ")))
        << show(unknown.description());
    // Without the test ini files a user's default data source might answer.
    if (dataSourceOf("SQLite")) {
        const odbc::Error empty = errorOf([] { openDataSource(QString()); });
        EXPECT_TRUE(holdsSqlState(empty.description())) << show(empty.description());
    }
}

// ---- against each real data source ----------------------------------------

struct Backend {
    const char* kind;
    // The SQLite ODBC driver garbles characters beyond U+FFFF (surrogate
    // pairs) in statement text; reading them back works on both.
    bool takesSurrogatePairs;
};

void PrintTo(const Backend& backend, std::ostream* out) {
    *out << backend.kind;
}

// Text for literals: non-ASCII, and a character beyond U+FFFF where the
// driver accepts it.
QString sampleText(const Backend& backend) {
    return QString::fromUtf8(backend.takesSurrogatePairs ? "abc Ærø 東京 \U0001F600 "
                                                         : "abc Ærø 東京 Крым ");
}

class OdbcBackend : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (!database.open(GetParam().kind)) {
            GTEST_SKIP() << show(missingDataSource(GetParam().kind));
        }
    }

    // A fresh table of the given column list, dropped after the test.
    QString createTable(const QString& columns) {
        const QString table = uniqueTableName(QStringLiteral("odbc"));
        database.own(table);
        db().execute(QStringLiteral("CREATE TABLE \"%1\" (%2)").arg(table, columns));
        return table;
    }

    odbc::Connection& db() { return database.connection(); }
    TargetDatabase database;
};

TEST_P(OdbcBackend, TextRoundTripsWithNullsAndEmptyStrings) {
    const QString table = createTable("id INTEGER, name VARCHAR(100), amount INTEGER");
    const QString names[] = {QString::fromUtf8("Ærø ñ 東京"),
                             QString::fromUtf8("Müller, Ørsted, Крым, 東京"),
                             QStringLiteral("O'Brien \"quoted\" ") + sampleText(GetParam())};
    for (int i = 0; i < 3; ++i) {
        QString literal = names[i];
        literal.replace("'", "''");
        db().execute(QStringLiteral("INSERT INTO \"%1\" VALUES (%2, '%3', %4)")
                         .arg(table)
                         .arg(i)
                         .arg(literal)
                         .arg(i * 10));
    }
    db().execute(QStringLiteral("INSERT INTO \"%1\" VALUES (3, NULL, NULL)").arg(table));
    db().execute(QStringLiteral("INSERT INTO \"%1\" VALUES (4, '', 0)").arg(table));

    const odbc::Rows result =
        db().query(QStringLiteral("SELECT name, amount FROM \"%1\" ORDER BY id").arg(table));
    ASSERT_EQ(result.columns.size(), 2u);
    EXPECT_EQ(show(result.columns[0]), "name");
    EXPECT_EQ(show(result.columns[1]), "amount");
    ASSERT_EQ(result.rows.size(), 5u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(result.rows[i][0], odbc::Value(names[i])) << i;
        EXPECT_EQ(result.rows[i][1], odbc::Value(QString::number(i * 10))) << i;
    }
    EXPECT_EQ(result.rows[3][0], std::nullopt);
    EXPECT_EQ(result.rows[3][1], std::nullopt);
    EXPECT_EQ(result.rows[4][0], odbc::Value(QString()));
}

// Statements without rows, or whose rows are discarded, succeed; what one
// connection executes, others opened after it see.
TEST_P(OdbcBackend, StatementsSucceedAndAreCommittedForOtherConnections) {
    const QString table = createTable("id INTEGER");
    EXPECT_NO_THROW(db().execute(QStringLiteral("UPDATE \"%1\" SET id = 2").arg(table)));
    EXPECT_NO_THROW(db().execute(QStringLiteral("SELECT * FROM \"%1\"").arg(table)));
    EXPECT_TRUE(db().query(QStringLiteral("SELECT * FROM \"%1\"").arg(table)).rows.empty());
    EXPECT_NO_THROW(dropTableIfExists(db(), table + "_never_created"));
    db().execute(QStringLiteral("INSERT INTO \"%1\" VALUES (7)").arg(table));
    for (int round = 0; round < 3; ++round) {
        const odbc::Rows seen = openDataSource(database.name())
                                    ->query(QStringLiteral("SELECT id FROM \"%1\"").arg(table));
        ASSERT_EQ(seen.rows.size(), 1u);
        EXPECT_EQ(seen.rows[0][0], odbc::Value(QStringLiteral("7")));
    }
    EXPECT_NO_THROW(db().execute(QStringLiteral("DELETE FROM \"%1\"").arg(table)));
}

TEST_P(OdbcBackend, CatalogueListsTablesAndViewsWithTheirTypes) {
    const QString table = createTable("id INTEGER");
    const QString view = table + "_v";
    db().execute(QStringLiteral("CREATE VIEW \"%1\" AS SELECT id FROM \"%2\"").arg(view, table));
    std::vector<odbc::CatalogEntry> catalogue;
    const auto rows = db().tables(std::nullopt);
    while (auto entry = rows->next()) {
        catalogue.push_back(*entry);
    }
    db().execute(QStringLiteral("DROP VIEW \"%1\"").arg(view));

    const auto typeOf = [&](const QString& name) -> odbc::Value {
        const auto found =
            std::find_if(catalogue.begin(), catalogue.end(),
                         [&](const odbc::CatalogEntry& e) { return e.name == name; });
        return found == catalogue.end() ? odbc::Value(QStringLiteral("<absent>")) : found->type;
    };
    EXPECT_EQ(typeOf(table), odbc::Value(QStringLiteral("TABLE")));
    const odbc::Value viewType = typeOf(view);
    ASSERT_TRUE(viewType.has_value());
    EXPECT_NE(*viewType, QStringLiteral("TABLE"));
    EXPECT_NE(*viewType, QStringLiteral("<absent>"));
}

TEST_P(OdbcBackend, LongStatementsAndValuesPassWhole) {
    const char* text = database.target().columnTypes().text;
    const QString table =
        createTable(QStringLiteral("id INTEGER, body %1").arg(text ? text : "TEXT"));
    // Over 64 KiB of statement, with non-ASCII characters falling on the
    // edges of the chunks in which values are read.
    QString body;
    while (body.size() < 70000) {
        body += sampleText(GetParam());
    }
    db().execute(QStringLiteral("INSERT INTO \"%1\" VALUES (1, '%2')").arg(table, body));
    const odbc::Rows result = db().query(QStringLiteral("SELECT body FROM \"%1\"").arg(table));
    ASSERT_EQ(result.rows.size(), 1u);
    ASSERT_TRUE(result.rows[0][0].has_value());
    EXPECT_EQ(result.rows[0][0]->size(), body.size());
    EXPECT_TRUE(*result.rows[0][0] == body);
}

TEST_P(OdbcBackend, RefusedStatementsRaiseErrorsWithSqlState) {
    const odbc::Error missing =
        errorOf([&] { db().execute("SELECT * FROM \"orvandel_no_such_table\""); });
    EXPECT_TRUE(holdsSqlState(missing.description())) << show(missing.description());
    EXPECT_TRUE(missing.description().contains("orvandel_no_such_table"))
        << show(missing.description());

    const odbc::Error syntax = errorOf([&] { db().query("SELEKT 1"); });
    EXPECT_TRUE(holdsSqlState(syntax.description())) << show(syntax.description());
    EXPECT_EQ(std::string(syntax.what()), show(syntax.description()));

    // The connection stays usable after an error.
    EXPECT_EQ(db().query("SELECT 2").rows.at(0).at(0), odbc::Value(QStringLiteral("2")));
}

// ---- diagnostics, against PostgreSQL ------------------------------------

class PostgresDiagnostics : public ::testing::Test {
protected:
    void SetUp() override {
        name_ = dataSourceOf("PostgreSQL");
        if (!name_) {
            GTEST_SKIP() << show(missingDataSource("PostgreSQL"));
        }
    }

    static QString longMessage(int chars) {
        QString message;
        for (int i = 0; message.size() < chars; ++i) {
            message += QStringLiteral("part %1 of a long complaint. ").arg(i);
        }
        return message;
    }

    static QString raising(const QString& message) {
        return QStringLiteral("DO $$ BEGIN RAISE EXCEPTION '%1'; END $$").arg(message);
    }

    std::optional<QString> name_;
};

TEST_F(PostgresDiagnostics, LongMessageReachesTheErrorInOneRecord) {
    const QString message = longMessage(3000);
    auto connection = openDataSource(*name_);
    const odbc::Error error = errorOf([&] { connection->execute(raising(message)); });
    EXPECT_TRUE(error.description().startsWith(QLatin1String("P0001: ")));
    EXPECT_EQ(error.description().count(QLatin1String("P0001: ")), 1);
    EXPECT_TRUE(error.description().contains(message)) << show(error.description());
    EXPECT_NE(error.number(), 0);
}

// Asked with a small buffer, PostgreSQL's driver hands out a long message as
// several records of that size: every record must arrive, in order.
TEST_F(PostgresDiagnostics, EveryRecordIsRead) {
    using namespace odbc::detail;
    Handle environment(SQL_HANDLE_ENV, SQL_NULL_HANDLE, 0);
    environment.check(SQLSetEnvAttr(environment.get(), SQL_ATTR_ODBC_VERSION,
                                    reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                      "Choosing ODBC 3");
    Watchdog watchdog({});
    Session session(environment, *name_, {}, odbc::Timeouts{}, watchdog);
    Handle statement(SQL_HANDLE_STMT, session.handle().get(), SQL_HANDLE_DBC);
    const QString message = longMessage(1000);
    WideText block(raising(message));
    ASSERT_EQ(SQLExecDirectW(statement.get(), block.data(), block.length()), SQL_ERROR);

    const odbc::detail::Diagnostics found = readDiagnostics(SQL_HANDLE_STMT, statement.get(), 100);
    const QString separator = QStringLiteral("\nP0001: ");
    EXPECT_GE(found.description.count(separator), 9) << show(found.description);
    QString joined = found.description;
    joined.remove(separator);
    EXPECT_TRUE(joined.contains(message)) << show(joined);
    EXPECT_NE(found.number, 0);
}

INSTANTIATE_TEST_SUITE_P(Databases, OdbcBackend,
                         ::testing::Values(Backend{"SQLite", false}, Backend{"PostgreSQL", true},
                                           Backend{"MariaDB", true}),
                         [](const auto& info) { return std::string(info.param.kind); });

} // namespace
