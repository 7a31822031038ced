#pragma once

// The main window's parts without widgets, for driving commands directly:
// two sorted lists, a bar that records what it shows, a pointer, scripted
// dialogs, fixed settings, an opener recording every statement sent over the
// real driver manager, and the runner.

#include "commands/Runner.h"
#include "paradox-writer/ParadoxWriter.h"
#include "support/Databases.h"
#include "support/Lists.h"
#include "support/Recording.h"
#include "support/ScriptedDialogs.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace testing_support {

class RecordingBar : public userio::Progress {
public:
    void setPercent(double percent) override {
        shown.push_back(percent);
        if (onChange) {
            onChange(percent);
        }
    }
    double percent() const override { return shown.empty() ? 0 : shown.back(); }

    std::vector<double> shown;
    std::function<void(double)> onChange; // runs inside the command
};

struct PlainPointer : userio::PointerSetting {
    int setting = userio::DefaultPointer;
    int pointer() const override { return setting; }
    void setPointer(int value) override { setting = value; }
};

struct TestWorkspace {
    MemoryList targetList;
    MemoryList paradoxList;
    RecordingBar bar;
    PlainPointer pointer;
    ScriptedDialogs dialogs;
    FixedSettings settings;
    odbc::OdbcOpener real;
    RecordingOpener opener{real};
    commands::Runner runner;
    commands::Workspace workspace{nullptr, targetList, paradoxList, bar,
                                  pointer, dialogs,    settings,    opener};

    void run(commands::Command command) { commands::runCommand(runner, workspace, command); }
};

// A test workspace over a real data source (SQLite unless kind() says otherwise) and a
// temporary Paradox folder; skips the test when the data source is not set.
class WorkspaceTest : public ::testing::Test {
protected:
    virtual QString kind() const { return QStringLiteral("SQLite"); }

    void SetUp() override {
        if (!database.open(kind())) {
            GTEST_SKIP() << missingDataSource(kind()).toStdString();
        }
        env.settings.folder = folder.path();
        env.settings.dataSource = database.name();
    }

    // Writes a Paradox table under a fresh upper-case name into the folder
    // and lists it in paradoxList, selected unless told otherwise.
    QString addParadoxTable(const QString& prefix, const paradox_writer::TableDesign& design,
                            const std::vector<paradox_writer::Row>& rows, bool selected = true) {
        const QString name = uniqueTableName(prefix).toUpper();
        paradox_writer::writeTable((env.settings.folder + "/" + name + ".db").toStdString(), design,
                                   rows);
        env.paradoxList.add(name);
        for (int i = 0; i < env.paradoxList.count(); ++i) {
            if (env.paradoxList.textAt(i) == name) {
                env.paradoxList.setSelectedAt(i, selected);
            }
        }
        env.paradoxList.setCurrent(0);
        database.own(name);
        return name;
    }

    // The statements the commands sent, without the engine's session set-up.
    QStringList sentStatements() const {
        QStringList sent = env.opener.statements;
        const sources::Engine& engine = database.target().engine();
        if (engine.sessionSetUp) {
            sent.removeAll(QString::fromLatin1(engine.sessionSetUp));
        }
        sent.removeAll(sources::boundsSetUp(engine, env.real.timeouts()));
        return sent;
    }

    QTemporaryDir folder;
    TargetDatabase database;
    TestWorkspace env;
};

// A table design from its columns.
inline paradox_writer::TableDesign designOf(std::vector<paradox_writer::Column> columns) {
    paradox_writer::TableDesign design;
    design.columns = std::move(columns);
    return design;
}

} // namespace testing_support
