#include "transfer/Datatype.h"
#include "transfer/Statements.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace transfer;

TEST(ColumnTypes, FollowTheTypeNameFragments) {
    const QString text = QStringLiteral("\" TEXT,");
    const QString numeric = QStringLiteral("\" NUMERIC,");
    const QString stamp = QStringLiteral("\" TEXt,");
    const std::vector<std::pair<int, QString>> cases = {
        {2, numeric},   {3, numeric},  {4, numeric},  {5, numeric},  {6, text},      {7, text},
        {11, text},     {14, numeric}, {17, numeric}, {21, numeric}, {128, text},    {129, text},
        {131, numeric}, {133, text},   {134, text},   {135, stamp},  {139, numeric}, {200, text},
        {201, text},    {205, text},   {300, text},   {0, text},     {-1, text},
    };
    for (const auto& [code, clause] : cases) {
        EXPECT_EQ(Datatype::ColumnClause(code), clause) << "code " << code;
    }
}

TEST(ColumnTypes, NamesAreTheConstantsAndCodesAreSixteenBits) {
    EXPECT_EQ(Datatype::DataTypeName(205), QStringLiteral("adLongVarBinary"));
    EXPECT_EQ(Datatype::DataTypeName(135), QStringLiteral("adDBTimeStamp"));
    EXPECT_EQ(Datatype::DataTypeName(300), QString());
    EXPECT_EQ(Datatype::DataTypeName(15), QString());
    EXPECT_EQ(Datatype::DataTypeName(65536 + 3), QStringLiteral("adInteger"));
}

TEST(StatementTexts, CreateTableMatchesTheExpectedForm) {
    CreateTableText create(QStringLiteral("ORDERS"));
    create.addColumn(QStringLiteral("ID"), 3);
    create.addColumn(QStringLiteral("NAME"), 200);
    create.addColumn(QStringLiteral("PLACED"), 133);
    EXPECT_EQ(
        create.finish(),
        QStringLiteral("CREATE TABLE \"ORDERS\"(\"ID\" NUMERIC,\"NAME\" TEXT,\"PLACED\" TEXT);"));
}

TEST(StatementTexts, InsertWritesNullAndEmptyAsNullAndDoublesQuotes) {
    const auto insert = [](const QStringList& values) {
        InsertText text(QStringLiteral("ORDERS"));
        for (const QString& value : values) {
            text.addValue(value);
        }
        return text.finish();
    };
    EXPECT_EQ(insert({"12", "O'Hara", ""}),
              QStringLiteral("INSERT INTO \"ORDERS\" VALUES('12', 'O''Hara', NULL)"));
    EXPECT_EQ(insert({"", "x"}), QStringLiteral("INSERT INTO \"ORDERS\" VALUES(NULL, 'x')"));
    EXPECT_EQ(insert({"", ""}), QStringLiteral("INSERT INTO \"ORDERS\" VALUES(NULL, NULL)"));
    EXPECT_EQ(insert({"'"}), QStringLiteral("INSERT INTO \"ORDERS\" VALUES('''')"));
}

TEST(StatementTexts, DoubleQuotesInNamesAreDoubled) {
    EXPECT_EQ(dropTableStatement(QStringLiteral("Order Details")),
              QStringLiteral("DROP TABLE \"Order Details\""));
    EXPECT_EQ(dropTableStatement(QStringLiteral("a\"b")), QStringLiteral("DROP TABLE \"a\"\"b\""));
    EXPECT_EQ(renameTableStatement(QStringLiteral("Orders"), QStringLiteral("x\"; DROP")),
              QStringLiteral("ALTER TABLE \"Orders\" RENAME TO \"x\"\"; DROP\";"));
    CreateTableText create(QStringLiteral("t"));
    create.addColumn(QStringLiteral("a\"b"), 200);
    EXPECT_EQ(create.finish(), QStringLiteral("CREATE TABLE \"t\"(\"a\"\"b\" TEXT);"));
}
