#include "transfer/SendTables.h"

#include "files/Files.h"
#include "files/FolderWalk.h"
#include "files/TableFamily.h"
#include "platform/paradox/Paradox.h"
#include "platform/ui/EventPump.h"
#include "sources/Target.h"
#include "sources/codepage/Choice.h"
#include "transfer/SendCheck.h"
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
    files::collectSubfolders(queue, true);
    for (std::size_t i = 1; i < queue.size(); ++i) {
        if (files::findTableFile(queue[i], table)) {
            return queue[i].lexically_relative(folder);
        }
    }
    return std::nullopt;
}

// The files of a table of the folder itself; says where the table is when it
// lies in a subfolder only.
files::TableFamily sourceFilesOf(const fs::path& folder, const QString& table) {
    if (std::optional<files::TableFamily> family = files::findTableFamily(folder, table)) {
        return *family;
    }
    if (const std::optional<fs::path> subfolder = findInSubfolders(folder, table)) {
        throw Error(
            QStringLiteral("The table %1 lies in the subfolder \"%2\" of the Paradox folder "
                           "%3, and only tables of the folder itself can be sent. To send "
                           "it, set the Paradox folder to that subfolder.")
                .arg(table, files::displayPath(*subfolder), files::displayPath(folder)));
    }
    throw Error(QStringLiteral("The table %1 has no data file (%1.DB) in the Paradox folder %2.")
                    .arg(table, files::displayPath(folder)));
}

// The targetList spelling of a table: the entry spelt exactly so, else the last
// one equal but for letter case; nothing when targetList does not hold it.
std::optional<QString> findTarget(const ui::TableList& targetList, const QString& name) {
    std::optional<QString> found;
    for (int i = 0; i < targetList.count(); ++i) {
        const QString entry = targetList.textAt(i);
        if (entry == name) {
            return entry;
        }
        if (entry.compare(name, Qt::CaseInsensitive) == 0) {
            found = entry;
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
    removeEntry(run.workspace.targetList, table);
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

// The INSERT statements of a table's rows, each built in the buffer of the
// one before, with one buffer for the text of each value. The check before
// the send made sure that each can go.
class RowStatements {
public:
    explicit RowStatements(const QString& table) : text_(table) {}

    const QString& of(paradox::Recordset& rows) {
        text_.begin();
        for (std::size_t i = 0; i < rows.fields().size(); ++i) {
            ui::letEventsThrough();
            text_.addValue(textFor(rows.value(i)));
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

    InsertText text_;
    std::string value_;
};

// How far the send of one table got, for the message that ends it.
struct Place {
    enum class Step { Opening, Checking, Replacing, Creating, Copying };

    QString table;
    Step step = Step::Opening;
    std::int64_t rows = 0; // of the Paradox table
    std::int64_t row = 0;  // read or sent now, counted from 1
    std::int64_t sent = 0; // in the data source
    bool replaced = false; // an old table of the name was dropped
};

QString rowsInTarget(const Place& place) {
    return QStringLiteral("%1 of its %2 rows are in the data source now")
        .arg(place.sent)
        .arg(place.rows);
}

// What is known of the statement whose error ended a send.
enum class Answer {
    None,     // no statement failed: the Paradox file could not be read
    Refused,  // the data source refused or cancelled it: it did not happen
    NoAnswer, // the data source gave no answer in time: it may still happen
};

Answer answerOf(const odbc::Error& error) {
    return error.outcome() == odbc::Outcome::Unknown ? Answer::NoAnswer : Answer::Refused;
}

// The first sentences of the message of an error that ended the send where
// place says; the error's own text follows them.
QString describePlace(const Place& place, Answer answer) {
    const bool noAnswer = answer == Answer::NoAnswer;
    const QString dropped =
        place.replaced ? QStringLiteral(" Its old table there was dropped before.") : QString();
    switch (place.step) {
    case Place::Step::Opening:
        return QStringLiteral("The table %1 was not sent: its Paradox file could not be read. "
                              "Nothing was changed in the data source.")
            .arg(place.table);
    case Place::Step::Checking:
        return QStringLiteral("The table %1 was not sent: its Paradox file could not be read at "
                              "row %2. Nothing was changed in the data source.")
            .arg(place.table)
            .arg(place.row);
    case Place::Step::Replacing:
        return noAnswer ? QStringLiteral("The table %1 was not sent: the data source was asked to "
                                         "drop its table %1 to replace it and gave no answer. "
                                         "That table may or may not have been dropped; look at "
                                         "what the data source holds before sending again.")
                              .arg(place.table)
                        : QStringLiteral("The table %1 was not sent: the data source did not drop "
                                         "its table %1 to replace it, which is there as it was.")
                              .arg(place.table);
    case Place::Step::Creating:
        return (noAnswer ? QStringLiteral("The table %1 was not sent: the data source was asked to "
                                          "create it and gave no answer; it may or may not be "
                                          "there now, without rows.")
                         : QStringLiteral("The table %1 was not sent: the data source did not "
                                          "create it, and none of its %2 rows were sent."))
                   .arg(place.table)
                   .arg(place.rows) +
               dropped;
    case Place::Step::Copying:
        break;
    }
    const QString what = answer == Answer::None
                             ? QStringLiteral("the Paradox file could not be read at row %1")
                         : noAnswer ? QStringLiteral("the data source gave no answer to row %1")
                                    : QStringLiteral("the data source refused row %1");
    const QString maybe =
        noAnswer ? QStringLiteral(", and row %1 may be there as well") : QString();
    return QStringLiteral("The table %1 was not sent whole: %2. %3%4; the table there is "
                          "incomplete.")
        .arg(place.table, what.arg(place.row), rowsInTarget(place), maybe.arg(place.row));
}

// Rethrows the error being handled with where the send ended added to its
// text; the program's own messages say where already.
[[noreturn]] void rethrowWithPlace(const Place& place) {
    try {
        throw;
    } catch (const ValueRefused& refused) {
        throw Error(QStringLiteral("The table %1 was not sent: row %2, field %3 %4. Nothing was "
                                   "changed in the data source. %5")
                        .arg(place.table)
                        .arg(refused.row)
                        .arg(refused.field, refused.reason, refused.remedy));
    } catch (const Error&) {
        throw;
    } catch (const codepage::PreferenceError& error) {
        throw Error(QStringLiteral("The table %1 was not sent: %2 Nothing was changed in the data "
                                   "source.")
                        .arg(place.table, QString::fromUtf8(error.what())));
    } catch (const odbc::Error& error) {
        throw odbc::Error(error.number(),
                          describePlace(place, answerOf(error)) + QLatin1Char('\n') +
                              error.description(),
                          error.state(), error.outcome(), error.lockHeld());
    } catch (const std::exception& error) {
        throw Error(describePlace(place, Answer::None) + QLatin1Char('\n') +
                    QString::fromUtf8(error.what()));
    }
}

void copyRows(Run& run, Place& place, paradox::Recordset& rows) {
    RowStatements statements(place.table);
    while (place.sent < place.rows) {
        place.row = place.sent + 1;
        ui::letEventsThrough();
        run.workspace.progress.setPercent(static_cast<double>(place.row) /
                                          static_cast<double>(place.rows) * 100.0);
        run.target->execute(statements.of(rows));
        ++place.sent;
        place.row = std::min(place.sent + 1, place.rows); // the row read next
        rows.moveNext();
    }
}

// What tells that a table's files were written: their sizes and times.
struct FilesStamp {
    std::vector<std::pair<std::uintmax_t, fs::file_time_type>> files;
    bool operator==(const FilesStamp&) const = default;
};

FilesStamp stampOf(const codepage::TableFiles& table) {
    FilesStamp stamp;
    for (const std::optional<fs::path>& file : {std::optional(table.dataFile), table.memoFile}) {
        std::error_code error;
        if (file) {
            stamp.files.emplace_back(fs::file_size(*file, error),
                                     fs::last_write_time(*file, error));
        }
    }
    return stamp;
}

void sendTable(Run& run, Place& place) {
    const std::optional<QString> existing = findTarget(run.workspace.targetList, place.table);
    if (existing) {
        place.table = *existing;
    }
    // The whole source is read and checked before an existing table goes,
    // and before anything is made.
    const files::TableFamily source = sourceFilesOf(run.folder, place.table);
    const codepage::TableFiles files(source.dataFile(), source.memoFile());
    const FilesStamp checked = stampOf(files);
    place.step = Place::Step::Checking;
    const CheckedTable table = checkTableSendable(run.target, place.table, files, place.row);
    place.step = Place::Step::Opening;
    paradox::Recordset rows = paradox::openTable(files.dataFile, files.memoFile,
                                                 codepage::tableOptionsOf(table.codePage));
    if (stampOf(files) != checked) {
        throw Error(QStringLiteral("The table %1 was not sent: its Paradox files changed while "
                                   "they were checked. Nothing was changed in the data source. "
                                   "Send it again once nobody edits the table.")
                        .arg(place.table));
    }
    place.rows = rows.recordCount();
    checkNamesFit(run.target, place.table, rows);
    if (existing) {
        place.step = Place::Step::Replacing;
        if (!makeRoomFor(run, place.table)) {
            return;
        }
        place.replaced = true;
    }
    place.step = Place::Step::Creating;
    run.target->execute(createStatementOf(run.target, place.table, rows));
    // The table exists now: targetList shows it however the copy ends.
    const ListedOnExit listed(run.workspace.targetList, place.table);
    place.step = Place::Step::Copying;
    copyRows(run, place, rows);
    run.workspace.progress.setPercent(0);
    rows.close();
}

void copyTable(Run& run, const QString& table) {
    Place place{table};
    try {
        sendTable(run, place);
    } catch (const std::exception&) {
        rethrowWithPlace(place);
    }
}

} // namespace

void sendTables(commands::Workspace& workspace) {
    if (workspace.paradoxList.current() == -1) {
        workspace.dialogs.message(workspace.owner,
                                  QStringLiteral("Please select a table to send."));
        return;
    }
    const ui::BusyScope busy(workspace.pointer);
    const sources::Target target = sources::openTarget(workspace.settings, workspace.opener);
    Run run{workspace, files::pathOf(workspace.settings.paradoxFolder()), target};
    for (int i = workspace.paradoxList.count() - 1; i >= 0; --i) {
        if (workspace.paradoxList.isSelectedAt(i)) {
            copyTable(run, workspace.paradoxList.textAt(i));
        }
    }
}

} // namespace transfer
