#include "transfer/Statements.h"

#include <gtest/gtest.h>

using namespace transfer;

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
