#include "transfer/SendTables.h"

#include "files/Files.h"
#include "platform/paradox/Paradox.h"
#include "platform/ui/EventPump.h"
#include "sources/AddFolder.h"
#include "sources/CodePageChoice.h"
#include "sources/Target.h"
#include "transfer/Statements.h"
#include "transfer/ValueText.h"

namespace transfer {

Error::Error(const QString& text) : std::runtime_error(text.toStdString()) {}

namespace {

namespace fs = std::filesystem;

struct Run {
    commands::Workspace& workspace;
    fs::path folder; // the Paradox folder
    const sources::Target& target;
};

// The first subfolder of the folder tree that holds the table, relative to
// the folder.
std::optional<fs::path> findInSubfolders(const fs::path& folder, const QString& table) {
    std::vector<fs::path> queue{folder};
    AddFolder::CollectSubfolders(queue, true);
    for (std::size_t i = 1; i < queue.size(); ++i) {
        if (Main::FindTableFile(queue[i], table)) {
            return queue[i].lexically_relative(folder);
        }
    }
    return std::nullopt;
}

// The data file of a table of the folder itself; says where the table is
// when it lies in a subfolder only.
fs::path sourceFileOf(const fs::path& folder, const QString& table) {
    if (std::optional<fs::path> file = Main::FindTableFile(folder, table)) {
        return *file;
    }
    if (const std::optional<fs::path> subfolder = findInSubfolders(folder, table)) {
        throw Error(
            QStringLiteral("The table %1 lies in the subfolder \"%2\" of the Paradox folder "
                           "%3, and only tables of the folder itself can be sent. To send "
                           "it, set the Paradox folder to that subfolder.")
                .arg(table, Main::displayPath(*subfolder), Main::displayPath(folder)));
    }
    throw Error(QStringLiteral("The table %1 has no data file (%1.DB) in the Paradox folder %2.")
                    .arg(table, Main::displayPath(folder)));
}

// The List1 spelling of a table (the last entry equal but for letter case),
// or nothing when List1 does not hold it.
std::optional<QString> findTarget(const ui::TableList& list1, const QString& name) {
    std::optional<QString> found;
    const QString wanted = name.toLower();
    for (int i = 0; i < list1.count(); ++i) {
        if (list1.textAt(i).toLower() == wanted) {
            found = list1.textAt(i);
        }
    }
    return found;
}

void removeEntry(ui::TableList& list, const QString& text) {
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
    const ui::Dialogs::Answer answer = run.workspace.dialogs.ask(
        run.workspace.owner,
        QStringLiteral("Would you like to overwrite ") + table + QLatin1Char('?'),
        QStringLiteral("Overwrite?"), true);
    if (answer != ui::Dialogs::Answer::Yes) {
        return false;
    }
    run.target->execute(dropTableStatement(table));
    removeEntry(run.workspace.list1, table);
    return true;
}

// Adds a table to a list when it goes out of scope.
class ListedOnExit {
public:
    ListedOnExit(ui::TableList& list, QString table) : list_(list), table_(std::move(table)) {}
    ~ListedOnExit() { list_.add(table_); }
    ListedOnExit(const ListedOnExit&) = delete;
    ListedOnExit& operator=(const ListedOnExit&) = delete;

private:
    ui::TableList& list_;
    QString table_;
};

// Refuses a table whose name or field names the engine would cut, before
// anything is dropped or created.
void checkNamesFit(const sources::Target& target, const QString& table,
                   const paradox::Recordset& rows) {
    const QString tableTooLong = target.nameTooLong(table, sources::NameKind::Table);
    if (!tableTooLong.isEmpty()) {
        throw Error(QStringLiteral("The table %1 cannot be sent: its name %2. Rename the Paradox "
                                   "table to a shorter name and send it again.")
                        .arg(table, tableTooLong));
    }
    for (const paradox::Field& field : rows.fields()) {
        const QString name = QString::fromStdString(field.name);
        const QString fieldTooLong = target.nameTooLong(name, sources::NameKind::Column);
        if (!fieldTooLong.isEmpty()) {
            throw Error(QStringLiteral("The table %1 cannot be sent: its field name \"%2\" %3. "
                                       "Give the field a shorter name in Paradox and send the "
                                       "table again.")
                            .arg(table, name, fieldTooLong));
        }
    }
}

QString createStatementOf(const sources::Target& target, const QString& table,
                          const paradox::Recordset& rows) {
    CreateTableText text(table, target.columnTypes());
    for (const paradox::Field& field : rows.fields()) {
        ui::letEventsThrough();
        text.addColumn(QString::fromStdString(field.name), field.adoType);
    }
    return text.finish();
}

// No driver passes a NUL character inside a statement: each cuts the text
// there, so the value could never arrive whole.
void checkNoNul(std::string_view value, const QString& table, std::int64_t row,
                const paradox::Field& field) {
    if (value.find('\0') != std::string::npos) {
        throw Error(QStringLiteral("The table %1 was not sent whole: row %2, field %3 holds a NUL "
                                   "character (code 0), which cannot be sent to the data source. "
                                   "The rows before it were sent. Remove the character in Paradox "
                                   "and send the table again.")
                        .arg(table)
                        .arg(row)
                        .arg(QString::fromStdString(field.name)));
    }
}

// The INSERT statements of a table's rows, each built in the buffer of the
// one before, with one buffer for the text of each value.
class RowStatements {
public:
    explicit RowStatements(const QString& table) : table_(table), text_(table) {}

    const QString& of(paradox::Recordset& rows, std::int64_t row) {
        text_.begin();
        for (std::size_t i = 0; i < rows.fields().size(); ++i) {
            ui::letEventsThrough();
            const std::string_view text = textFor(rows.value(i));
            checkNoNul(text, table_, row, rows.fields()[i]);
            text_.addValue(text);
        }
        return text_.finish();
    }

private:
    // Text as the reader holds it; any other value formatted into value_.
    std::string_view textFor(const paradox::Value& value) {
        using Kind = paradox::Value::Kind;
        if (value.kind == Kind::Text || value.kind == Kind::Decimal) {
            return value.text;
        }
        value_.clear();
        appendTextOf(value_, value);
        return value_;
    }

    const QString& table_;
    InsertText text_;
    std::string value_;
};

void copyRows(Run& run, const QString& table, paradox::Recordset& rows) {
    const std::int64_t total = rows.recordCount();
    RowStatements statements(table);
    for (std::int64_t r = 0; r < total; ++r) {
        ui::letEventsThrough();
        run.workspace.progress.setPercent(static_cast<double>(r + 1) / static_cast<double>(total) *
                                          100.0);
        run.target->execute(statements.of(rows, r + 1));
        rows.moveNext();
    }
}

void copyTable(Run& run, QString table) {
    const std::optional<QString> existing = findTarget(run.workspace.list1, table);
    if (existing) {
        table = *existing;
    }
    // The source is read and its names checked before an existing table goes.
    paradox::Recordset rows = sources::openParadoxTable(sourceFileOf(run.folder, table));
    checkNamesFit(run.target, table, rows);
    if (existing && !makeRoomFor(run, table)) {
        return;
    }
    run.target->execute(createStatementOf(run.target, table, rows));
    // The table exists now: List1 shows it however the copy ends.
    const ListedOnExit listed(run.workspace.list1, table);
    copyRows(run, table, rows);
    run.workspace.progress.setPercent(0);
    rows.close();
}

} // namespace

void SendTables(commands::Workspace& workspace) {
    if (workspace.list2.current() == -1) {
        workspace.dialogs.message(workspace.owner,
                                  QStringLiteral("Please select a table to send."));
        return;
    }
    const ui::BusyScope busy(workspace.pointer);
    const sources::Target target = sources::openTarget(workspace.settings, workspace.opener);
    Run run{workspace, Main::pathOf(workspace.settings.paradoxFolder()), target};
    for (int i = workspace.list2.count() - 1; i >= 0; --i) {
        if (workspace.list2.isSelectedAt(i)) {
            copyTable(run, workspace.list2.textAt(i));
        }
    }
}

} // namespace transfer
