#include "transfer/SendTables.h"

#include "platform/paradox/Paradox.h"
#include "platform/ui/EventPump.h"
#include "transfer/Statements.h"
#include "transfer/ValueText.h"

namespace transfer {

namespace {

struct Run {
    shell::MainWindowParts& parts;
    const paradox::Connection& source;
    odbc::Connection& target;
};

// The List1 spelling of a table (the last entry equal but for letter case),
// or nothing when List1 does not hold it.
std::optional<QString> findTarget(const shell::TableList& list1, const QString& name) {
    std::optional<QString> found;
    const QString wanted = name.toLower();
    for (int i = 0; i < list1.count(); ++i) {
        if (list1.textAt(i).toLower() == wanted) {
            found = list1.textAt(i);
        }
    }
    return found;
}

void removeEntry(shell::TableList& list, const QString& text) {
    for (int i = list.count() - 1; i >= 0; --i) {
        if (list.textAt(i) == text) {
            list.removeAt(i);
            return;
        }
    }
}

// Asks before replacing an existing table and drops it on Yes. False when the
// user keeps the existing table.
bool makeRoomFor(Run& run, const QString& table) {
    const ui::Dialogs::Answer answer = run.parts.dialogs.ask(
        &run.parts.window,
        QStringLiteral("Would you like to overwrite ") + table + QLatin1Char('?'),
        QStringLiteral("Overwrite?"), true);
    if (answer != ui::Dialogs::Answer::Yes) {
        return false;
    }
    run.target.execute(dropTableStatement(table));
    removeEntry(run.parts.list1, table);
    return true;
}

QString createStatementOf(const QString& table, const paradox::Recordset& rows) {
    CreateTableText text(table);
    for (const paradox::Field& field : rows.fields()) {
        ui::letEventsThrough();
        text.addColumn(QString::fromStdString(field.name), field.adoType);
    }
    return text.finish();
}

QString insertStatementOf(const QString& table, paradox::Recordset& rows) {
    InsertText text(table);
    for (std::size_t i = 0; i < rows.fields().size(); ++i) {
        ui::letEventsThrough();
        text.addValue(QString::fromStdString(textOf(rows.value(i))));
    }
    return text.finish();
}

void copyRows(Run& run, const QString& table, paradox::Recordset& rows) {
    const std::int64_t total = rows.recordCount();
    for (std::int64_t r = 0; r < total; ++r) {
        ui::letEventsThrough();
        run.parts.progress.setPercent(static_cast<double>(r + 1) / static_cast<double>(total) *
                                      100.0);
        run.target.execute(insertStatementOf(table, rows));
        rows.moveNext();
    }
}

void copyTable(Run& run, QString table) {
    if (const std::optional<QString> existing = findTarget(run.parts.list1, table)) {
        table = *existing;
        if (!makeRoomFor(run, table)) {
            return;
        }
    }
    paradox::Recordset rows = run.source.openRecordset(selectAllStatement(table).toStdString());
    run.target.execute(createStatementOf(table, rows));
    try {
        copyRows(run, table, rows);
    } catch (...) {
        // The table exists now, with the rows sent so far: List1 says so.
        run.parts.list1.add(table);
        throw;
    }
    run.parts.progress.setPercent(0);
    rows.close();
    run.parts.list1.add(table);
}

} // namespace

void SendTables(shell::MainWindowParts& parts) {
    if (parts.list2.current() == -1) {
        parts.dialogs.message(&parts.window, QStringLiteral("Please select a table to send."));
        return;
    }
    const shell::BusyScope busy(parts.pointer);
    const paradox::Connection source = paradox::Connection::open(
        sources::paradoxConnectionString(parts.settings.paradoxFolder()).toStdString());
    const std::unique_ptr<odbc::Connection> target =
        parts.opener.open({sources::sybaseConnectionString(parts.settings.dataSourceName()), {}});
    Run run{parts, source, *target};
    for (int i = parts.list2.count() - 1; i >= 0; --i) {
        if (parts.list2.isSelectedAt(i)) {
            copyTable(run, parts.list2.textAt(i));
        }
    }
}

} // namespace transfer
