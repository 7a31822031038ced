#include "transfer/Statements.h"

#include "transfer/Datatype.h"

namespace transfer {

QString quotedName(const QString& name) {
    QString doubled = name;
    doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

QString dropTableStatement(const QString& table) {
    return QStringLiteral("DROP TABLE ") + quotedName(table);
}

QString renameTableStatement(const QString& oldName, const QString& newName) {
    return QStringLiteral("ALTER TABLE %1 RENAME TO %2;")
        .arg(quotedName(oldName), quotedName(newName));
}

CreateTableText::CreateTableText(const QString& table, const sources::ColumnTypes& types)
    : text_(QStringLiteral("CREATE TABLE ") + quotedName(table) + QLatin1Char('(')), types_(types) {
}

void CreateTableText::addColumn(const QString& name, int adoType) {
    // The clause closes the quoted column name itself.
    text_ += quotedName(name).chopped(1) + Datatype::ColumnClause(adoType, types_);
}

QString CreateTableText::finish() {
    if (text_.endsWith(QLatin1Char(','))) {
        text_.chop(1);
    }
    return text_ + QStringLiteral(");");
}

InsertText::InsertText(const QString& table)
    : text_(QStringLiteral("INSERT INTO ") + quotedName(table) + QStringLiteral(" VALUES('")) {}

void InsertText::addValue(const QString& value) {
    if (value.isEmpty()) {
        text_.chop(1); // the quote that waited for this value
        text_ += QStringLiteral("NULL, '");
        return;
    }
    QString doubled = value;
    doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
    text_ += doubled + QStringLiteral("', '");
}

QString InsertText::finish() {
    text_.chop(3);
    return text_ + QLatin1Char(')');
}

} // namespace transfer
