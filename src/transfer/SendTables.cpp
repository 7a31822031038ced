#include "transfer/SendTables.h"

#include "files/Files.h"
#include "files/FolderWalk.h"
#include "files/TableFamily.h"
#include "platform/paradox/Paradox.h"
#include "platform/userio/EventPump.h"
#include "sources/Target.h"
#include "sources/codepage/Choice.h"
#include "transfer/SendCheck.h"
#include "transfer/Statements.h"
#include "transfer/ValueText.h"

namespace transfer {

Error::Error(const QString& text) : std::runtime_error(text.toStdString()) {}

namespace {

namespace fs = std::filesystem;

struct SendJob {
    commands::Workspace& workspace;
    fs::path folder; // the Paradox folder
    const sources::Target& target;
};

// The files of a table of the folder itself; says where the table is when it
// lies in a subfolder only.
files::TableFamily sourceFilesOf(const fs::path& folder, const QString& table) {
    if (std::optional<files::TableFamily> family = files::findTableFamily(folder, table)) {
        return *family;
    }
    if (const std::optional<fs::path> at = files::findTableFolder(folder, table)) {
        throw Error(
            QStringLiteral("The table %1 lies in the subfolder \"%2\" of the Paradox folder "
                           "%3, and only tables of the folder itself can be sent. To send "
                           "it, set the Paradox folder to that subfolder.")
                .arg(table, files::displayPath(at->lexically_relative(folder)),
                     files::displayPath(folder)));
    }
    throw Error(QStringLiteral("The table %1 has no data file (%1.DB) in the Paradox folder %2.")
                    .arg(table, files::displayPath(folder)));
}

// The targetList spelling of a table: the entry spelt exactly so, else the last
// one equal but for letter case; nothing when targetList does not hold it.
std::optional<QString> findTarget(const userio::TableList& targetList, const QString& name) {
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

void removeEntry(userio::TableList& list, const QString& text) {
    for (int i = list.count() - 1; i >= 0; --i) {
        if (list.textAt(i) == text) {
            list.removeAt(i);
            return;
        }
    }
}

// Asks before replacing an existing table and drops it on Yes. False when the
// user keeps the existing table.
bool makeRoomFor(SendJob& job, const QString& table) {
    const userio::Dialogs::Answer answer = job.workspace.dialogs.ask(
        job.workspace.owner,
        QStringLiteral("Would you like to overwrite ") + table + QLatin1Char('?'),
        QStringLiteral("Overwrite?"), true);
    if (answer != userio::Dialogs::Answer::Yes) {
        return false;
    }
    job.target->execute(dropTableStatement(table));
    removeEntry(job.workspace.targetList, table);
    return true;
}

// Adds a table to a list when it goes out of scope.
class ListedOnExit {
public:
    ListedOnExit(userio::TableList& list, QString table) : list_(list), table_(std::move(table)) {}
    ~ListedOnExit() { list_.add(table_); }
    ListedOnExit(const ListedOnExit&) = delete;
    ListedOnExit& operator=(const ListedOnExit&) = delete;

private:
    userio::TableList& list_;
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
        userio::letEventsThrough();
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
            userio::letEventsThrough();
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
struct TableProgress {
    enum class Step { Opening, Checking, Replacing, Creating, Copying };

    QString table;
    Step step = Step::Opening;
    std::int64_t rows = 0; // of the Paradox table
    std::int64_t row = 0;  // read or sent now, counted from 1
    std::int64_t sent = 0; // in the data source
    bool replaced = false; // an old table of the name was dropped
};

QString rowsInTarget(const TableProgress& reached) {
    return QStringLiteral("%1 of its %2 rows are in the data source now")
        .arg(reached.sent)
        .arg(reached.rows);
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

// The first sentences of the message of an error that ended the send at the
// point reached; the error's own text follows them.
QString describeProgress(const TableProgress& reached, Answer answer) {
    const bool noAnswer = answer == Answer::NoAnswer;
    const QString dropped =
        reached.replaced ? QStringLiteral(" Its old table there was dropped before.") : QString();
    switch (reached.step) {
    case TableProgress::Step::Opening:
        return QStringLiteral("The table %1 was not sent: its Paradox file could not be read. "
                              "Nothing was changed in the data source.")
            .arg(reached.table);
    case TableProgress::Step::Checking:
        return QStringLiteral("The table %1 was not sent: its Paradox file could not be read at "
                              "row %2. Nothing was changed in the data source.")
            .arg(reached.table)
            .arg(reached.row);
    case TableProgress::Step::Replacing:
        return noAnswer ? QStringLiteral("The table %1 was not sent: the data source was asked to "
                                         "drop its table %1 to replace it and gave no answer. "
                                         "That table may or may not have been dropped; look at "
                                         "what the data source holds before sending again.")
                              .arg(reached.table)
                        : QStringLiteral("The table %1 was not sent: the data source did not drop "
                                         "its table %1 to replace it, which is there as it was.")
                              .arg(reached.table);
    case TableProgress::Step::Creating:
        return (noAnswer ? QStringLiteral("The table %1 was not sent: the data source was asked to "
                                          "create it and gave no answer; it may or may not be "
                                          "there now, without rows.")
                         : QStringLiteral("The table %1 was not sent: the data source did not "
                                          "create it, and none of its %2 rows were sent."))
                   .arg(reached.table)
                   .arg(reached.rows) +
               dropped;
    case TableProgress::Step::Copying:
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
        .arg(reached.table, what.arg(reached.row), rowsInTarget(reached), maybe.arg(reached.row));
}

// Rethrows the error being handled with where the send ended added to its
// text; the program's own messages say where already.
[[noreturn]] void rethrowWithProgress(const TableProgress& reached) {
    try {
        throw;
    } catch (const ValueRefused& refused) {
        throw Error(QStringLiteral("The table %1 was not sent: row %2, field %3 %4. Nothing was "
                                   "changed in the data source. %5")
                        .arg(reached.table)
                        .arg(refused.row)
                        .arg(refused.field, refused.reason, refused.remedy));
    } catch (const Error&) {
        throw;
    } catch (const codepage::PreferenceError& error) {
        throw Error(QStringLiteral("The table %1 was not sent: %2 Nothing was changed in the data "
                                   "source.")
                        .arg(reached.table, QString::fromUtf8(error.what())));
    } catch (const odbc::Error& error) {
        throw odbc::Error(error.number(),
                          describeProgress(reached, answerOf(error)) + QLatin1Char('\n') +
                              error.description(),
                          error.state(), error.outcome(), error.lockHeld());
    } catch (const std::exception& error) {
        throw Error(describeProgress(reached, Answer::None) + QLatin1Char('\n') +
                    QString::fromUtf8(error.what()));
    }
}

void copyRows(SendJob& job, TableProgress& reached, paradox::Recordset& rows) {
    RowStatements statements(reached.table);
    while (reached.sent < reached.rows) {
        reached.row = reached.sent + 1;
        userio::letEventsThrough();
        job.workspace.progress.setPercent(static_cast<double>(reached.row) /
                                          static_cast<double>(reached.rows) * 100.0);
        job.target->execute(statements.of(rows));
        ++reached.sent;
        reached.row = std::min(reached.sent + 1, reached.rows); // the row read next
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

void sendTable(SendJob& job, TableProgress& reached) {
    const std::optional<QString> existing = findTarget(job.workspace.targetList, reached.table);
    if (existing) {
        reached.table = *existing;
    }
    // The whole source is read and checked before an existing table goes,
    // and before anything is made.
    const files::TableFamily source = sourceFilesOf(job.folder, reached.table);
    const codepage::TableFiles files(source.dataFile(), source.memoFile());
    const FilesStamp checked = stampOf(files);
    reached.step = TableProgress::Step::Checking;
    const CheckedTable table = checkTableSendable(job.target, reached.table, files, reached.row);
    reached.step = TableProgress::Step::Opening;
    paradox::Recordset rows = paradox::openTable(files.dataFile, files.memoFile,
                                                 codepage::tableOptionsOf(table.codePage));
    if (stampOf(files) != checked) {
        throw Error(QStringLiteral("The table %1 was not sent: its Paradox files changed while "
                                   "they were checked. Nothing was changed in the data source. "
                                   "Send it again once nobody edits the table.")
                        .arg(reached.table));
    }
    reached.rows = rows.recordCount();
    checkNamesFit(job.target, reached.table, rows);
    if (existing) {
        reached.step = TableProgress::Step::Replacing;
        if (!makeRoomFor(job, reached.table)) {
            return;
        }
        reached.replaced = true;
    }
    reached.step = TableProgress::Step::Creating;
    job.target->execute(createStatementOf(job.target, reached.table, rows));
    // The table exists now: targetList shows it however the copy ends.
    const ListedOnExit listed(job.workspace.targetList, reached.table);
    reached.step = TableProgress::Step::Copying;
    copyRows(job, reached, rows);
    job.workspace.progress.setPercent(0);
    rows.close();
}

void copyTable(SendJob& job, const QString& table) {
    TableProgress reached{table};
    try {
        sendTable(job, reached);
    } catch (const std::exception&) {
        rethrowWithProgress(reached);
    }
}

} // namespace

void sendTables(commands::Workspace& workspace) {
    if (workspace.paradoxList.current() == -1) {
        workspace.dialogs.message(workspace.owner,
                                  QStringLiteral("Please select a table to send."));
        return;
    }
    const userio::BusyScope busy(workspace.pointer);
    const sources::Target target = sources::openTarget(workspace.settings, workspace.opener);
    SendJob job{workspace, files::pathOf(workspace.settings.paradoxFolder()), target};
    for (int i = workspace.paradoxList.count() - 1; i >= 0; --i) {
        if (workspace.paradoxList.isSelectedAt(i)) {
            copyTable(job, workspace.paradoxList.textAt(i));
        }
    }
}

} // namespace transfer
