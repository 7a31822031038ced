// Sends every sample table into the real SQLite, PostgreSQL and MariaDB data sources,
// reads it back and compares it with the reference values: text exactly,
// integers exactly, numbers as numbers, binary data by length and hash. Also
// sends tables made with the writer where the samples hold no such values.

#include "support/DatesAtTheEnds.h"
#include "support/Samples.h"
#include "support/TestWorkspace.h"
#include "transfer/SendTables.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Sample = testing_support::SampleReference;

// What the target holds for one expected value, or why it differs.
QString differenceOf(const QJsonValue& expected, const QString& type, const odbc::Value& actual) {
    const QString shown = actual ? *actual : QStringLiteral("NULL");
    if (expected.isNull()) {
        return actual ? "expected NULL, got " + shown : QString();
    }
    if (expected.isString() && expected.toString().isEmpty()) {
        return actual ? "an empty text is sent as NULL, got " + shown : QString();
    }
    if (!actual) {
        return QStringLiteral("got NULL");
    }
    if (expected.isBool()) {
        return *actual == (expected.toBool() ? "True" : "False") ? QString() : "got " + shown;
    }
    if (expected.isString()) {
        return *actual == expected.toString() ? QString() : "got " + shown;
    }
    if (expected.isDouble()) {
        if (type == "Short" || type == "Long Integer" || type == "Autoincrement") {
            return *actual == QString::number(expected.toInteger()) ? QString() : "got " + shown;
        }
        bool ok = false;
        const double value = actual->toDouble(&ok);
        return ok && testing_support::round15(value) ==
                           testing_support::round15(expected.toDouble())
                   ? QString()
                   : "expected " + QString::number(expected.toDouble(), 'g', 17) + ", got " + shown;
    }
    const QJsonObject object = expected.toObject();
    if (object.contains("reference")) {
        return QString(); // no reference text, only "not blank"
    }
    const QByteArray bytes = QByteArray::fromHex(actual->toLatin1());
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    if (bytes.size() != object["len"].toInteger() ||
        hash != object["sha256"].toString().toLatin1()) {
        return QStringLiteral("binary of %1 bytes differs").arg(bytes.size());
    }
    return QString();
}

class SendSamplesTest : public ::testing::TestWithParam<QString> {
protected:
    void SetUp() override {
        if (!database.open(GetParam())) {
            GTEST_SKIP() << testing_support::missingDataSource(GetParam()).toStdString();
        }
        env.settings.dataSource = database.name();
    }

    void send(const QString& folder, const QString& table) {
        testing_support::dropTableIfExists(database.connection(), table);
        env.settings.folder = folder;
        env.targetList.clearAll();
        env.paradoxList.clearAll();
        env.dialogs.shown.clear();
        testing_support::fill(env.paradoxList, {table}, {table});
        env.run(transfer::sendTables);
    }

    void send(const Sample& sample) {
        send(QString::fromStdString(sample.folder.string()), sample.table);
    }

    void compare(const Sample& sample) {
        const odbc::Rows target =
            database.connection().query(testing_support::selectAllFrom(sample.table));
        const QJsonArray rows = sample.expected["rows"].toArray();
        const QJsonArray columns = sample.expected["columns"].toArray();
        ASSERT_EQ(target.rows.size(), static_cast<std::size_t>(rows.size())) << where(sample);
        ASSERT_EQ(target.columns.size(), static_cast<std::size_t>(columns.size()));
        for (qsizetype r = 0; r < rows.size(); ++r) {
            const QJsonArray row = rows[r].toArray();
            for (qsizetype c = 0; c < columns.size(); ++c) {
                const QString type = columns[c].toObject()["paradox_type"].toString();
                const QString difference =
                    differenceOf(row[c], type, target.rows[static_cast<std::size_t>(r)][c]);
                EXPECT_TRUE(difference.isEmpty()) << where(sample) << " row " << r << " column "
                                                  << c << ": " << difference.toStdString();
            }
        }
    }

    static std::string where(const Sample& sample) {
        return sample.folder.filename().string() + "/" + sample.table.toStdString();
    }

    testing_support::TestWorkspace env;
    testing_support::TargetDatabase database;
};

} // namespace

TEST_P(SendSamplesTest, EverySampleArrivesIntact) {
    if (!testing_support::haveSamples()) {
        GTEST_SKIP() << "the Paradox samples are not here: " << testing_support::samplesFolder();
    }
    const std::vector<Sample> all = testing_support::sampleReferences();
    ASSERT_FALSE(all.empty());
    for (const Sample& sample : all) {
        send(sample);
        ASSERT_TRUE(env.dialogs.messages().isEmpty())
            << where(sample) << ": " << env.dialogs.messages().join(" | ").toStdString();
        compare(sample);
        testing_support::dropTableIfExists(database.connection(), sample.table);
    }
}

// Dates and timestamps before year 1 and at the ends of the years -9999 to
// 9999 arrive as their texts beside ordinary ones, NULL as NULL. A value past
// an end stops the send before anything is made, naming the file, row and field.
TEST_P(SendSamplesTest, DatesOfTheYearsMinus9999To9999Arrive) {
    namespace dates = testing_support::dates;
    const QTemporaryDir folder;
    const QString table = testing_support::uniqueTableName("dates").toUpper();
    const QString file = folder.path() + "/" + table + ".db";
    database.own(table);
    std::vector<paradox_writer::Row> rows;
    std::vector<std::vector<odbc::Value>> expected;
    const auto textOf = [](const char* text) {
        return text ? odbc::Value(QString::fromLatin1(text)) : odbc::Value();
    };
    for (const dates::DatedRow& row : dates::atTheEnds()) {
        rows.push_back(row.cells);
        expected.push_back({textOf(row.date), textOf(row.stamp)});
    }
    paradox_writer::writeTable(file.toStdString(), dates::design(), rows);
    send(folder.path(), table);
    ASSERT_TRUE(env.dialogs.messages().isEmpty())
        << env.dialogs.messages().join(" | ").toStdString();
    EXPECT_EQ(database.rowsOf(table), expected);

    for (const dates::PastAnEnd& past : dates::pastTheEnds()) {
        SCOPED_TRACE(past.value);
        paradox_writer::writeTable(file.toStdString(), dates::design(),
                                   {rows.front(), dates::rowWith(past)});
        send(folder.path(), table);
        ASSERT_EQ(env.dialogs.messages().size(), 1);
        const QString message = env.dialogs.messages()[0];
        const QString field = past.column == 0 ? "D" : "S";
        for (const QString& part :
             {file, "row 2, field \"" + field + "\": impossible", QString("Nothing was changed")}) {
            EXPECT_TRUE(message.contains(part)) << message.toStdString();
        }
        EXPECT_FALSE(database.exists(table));
    }
}

INSTANTIATE_TEST_SUITE_P(DataSources, SendSamplesTest,
                         ::testing::Values("SQLite", "PostgreSQL", "MariaDB"),
                         [](const auto& info) { return info.param.toStdString(); });
