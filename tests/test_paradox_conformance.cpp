// Reads every sample table that has a reference and compares it value by
// value: text exactly, integers exactly, Number and Money at 15 significant
// digits, BCD numerically, binary values by length and SHA-256.

#include "paradox-writer/ParadoxWriter.h"
#include "platform/paradox/Paradox.h"
#include "platform/paradox/Table.h"
#include "support/Samples.h"
#include "transfer/ValueText.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonObject>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>

namespace fs = std::filesystem;
using paradox::Value;

namespace {

const fs::path samples = testing_support::samplesFolder();

bool underCi() {
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

// Skips the test when the samples are absent, except under CI.
#define REQUIRE_SAMPLES()                                                                          \
    do {                                                                                           \
        if (!testing_support::haveSamples()) {                                                     \
            if (underCi())                                                                         \
                FAIL() << "the Paradox samples are missing: " << samples;                          \
            GTEST_SKIP() << "the Paradox samples are not here: " << samples;                       \
        }                                                                                          \
    } while (0)

std::string where(const QString& table, int row, int column) {
    return table.toStdString() + " row " + std::to_string(row) + " column " +
           std::to_string(column);
}

void expectValue(const QJsonValue& expected, const Value& actual, const std::string& type,
                 const std::string& at) {
    if (expected.isNull()) {
        EXPECT_TRUE(actual.isNull()) << at << ": expected NULL, got " << transfer::textOf(actual);
        return;
    }
    ASSERT_FALSE(actual.isNull()) << at << ": expected a value, got NULL";
    if (expected.isObject()) {
        const QJsonObject object = expected.toObject();
        if (object.contains("reference")) { // formatted memo: only "not blank" is known
            EXPECT_EQ(actual.kind, Value::Kind::Text) << at;
            return;
        }
        ASSERT_EQ(actual.kind, Value::Kind::Binary) << at;
        EXPECT_EQ(static_cast<qint64>(actual.text.size()), object["len"].toInteger()) << at;
        EXPECT_EQ(QCryptographicHash::hash(QByteArray::fromStdString(std::string(actual.text)),
                                           QCryptographicHash::Sha256)
                      .toHex(),
                  object["sha256"].toString().toLatin1())
            << at;
        return;
    }
    if (expected.isBool()) {
        ASSERT_EQ(actual.kind, Value::Kind::Boolean) << at;
        EXPECT_EQ(actual.boolean, expected.toBool()) << at;
    } else if (type == "Number" || type == "Money") {
        ASSERT_EQ(actual.kind, Value::Kind::Double) << at;
        EXPECT_EQ(testing_support::round15(actual.number),
                  testing_support::round15(expected.toDouble()))
            << at;
    } else if (type == "BCD") {
        ASSERT_EQ(actual.kind, Value::Kind::Decimal) << at;
        EXPECT_EQ(std::strtod(std::string(actual.text).c_str(), nullptr), expected.toDouble())
            << at << ": " << actual.text;
    } else if (expected.isDouble()) {
        ASSERT_EQ(actual.kind, Value::Kind::Integer) << at;
        EXPECT_EQ(actual.integer, expected.toInteger()) << at;
    } else {
        // Text, and dates and times in their text forms.
        EXPECT_EQ(transfer::textOf(actual), expected.toString().toStdString()) << at;
    }
}

const std::map<std::string, int> adoTypes = {
    {"Alpha", 200}, {"Date", 133},    {"Short", 2},  {"Long Integer", 3}, {"Money", 5},
    {"Number", 5},  {"Logical", 11},  {"Memo", 201}, {"Binary", 205},     {"Formatted Memo", 201},
    {"OLE", 205},   {"Graphic", 205}, {"Time", 135}, {"Timestamp", 135},  {"Autoincrement", 3},
    {"BCD", 5},     {"Bytes", 128},
};

void compareTable(const testing_support::SampleReference& sample) {
    const QJsonObject& reference = sample.expected;
    const QString& tableFile = sample.file;
    const fs::path& folder = sample.folder;
    SCOPED_TRACE(tableFile.toStdString());

    auto recordset = paradox::openTable(folder / tableFile.toStdString());

    const QJsonArray columns = reference["columns"].toArray();
    ASSERT_EQ(recordset.fields().size(), static_cast<std::size_t>(columns.size()));
    std::vector<std::string> types;
    for (int c = 0; c < columns.size(); ++c) {
        const QJsonObject column = columns[c].toObject();
        const auto& field = recordset.fields()[static_cast<std::size_t>(c)];
        types.push_back(column["paradox_type"].toString().toStdString());
        EXPECT_EQ(field.name, column["name"].toString().toStdString());
        EXPECT_EQ(field.size, column["size"].toInt());
        EXPECT_EQ(field.adoType, adoTypes.at(types.back())) << field.name;
    }

    const QJsonArray rows = reference["rows"].toArray();
    EXPECT_EQ(recordset.recordCount(), reference["row_count"].toInteger());
    int row = 0;
    for (; !recordset.eof(); recordset.moveNext(), ++row) {
        ASSERT_LT(row, rows.size()) << "more rows than the reference";
        const QJsonArray values = rows[row].toArray();
        for (int c = 0; c < values.size(); ++c)
            expectValue(values[c], recordset.value(static_cast<std::size_t>(c)),
                        types[static_cast<std::size_t>(c)], where(tableFile, row, c));
    }
    EXPECT_EQ(row, rows.size());

    // Header facts.
    paradox::TableFile table((folder / tableFile.toStdString()).string());
    EXPECT_EQ(paradox::versionName(table.header().versionId),
              reference["paradox_version"].toString().toStdString());
    EXPECT_EQ(table.header().encrypted(), reference["encrypted"].toBool());
    if (!reference["code_page"].isNull()) {
        EXPECT_EQ(table.header().storedCodePage, reference["code_page"].toInt());
    }
}

} // namespace

TEST(ParadoxConformance, EverySampleMatchesItsReference) {
    REQUIRE_SAMPLES();
    const auto all = testing_support::sampleReferences();
    ASSERT_GE(all.size(), 38u);
    for (const auto& sample : all)
        compareTable(sample);
}

TEST(ParadoxConformance, HpRoman8TableIsToldBySortOrder) {
    REQUIRE_SAMPLES();
    paradox::TableFile table((samples / "db" / "ROMAN8.db").string());
    EXPECT_EQ(table.header().storedCodePage, 0);
    EXPECT_EQ(table.codePage(), paradox::HpRoman8);
}

TEST(ParadoxConformance, CodePageOverrideBeatsTheHeader) {
    REQUIRE_SAMPLES();
    // AREACODES says 1252; read as 850 the same byte gives another letter.
    auto recordset = paradox::openTable(samples / "db" / "AREACODES.DB", {.codePageOverride = 850});
    bool seen = false;
    for (; !recordset.eof(); recordset.moveNext()) {
        const std::string cities = transfer::textOf(recordset.value(2));
        if (cities.find("Montr") != std::string::npos) {
            EXPECT_NE(cities.find("Montr\xC3\x9A"
                                  "al"),
                      std::string::npos)
                << cities; // Ú in 850
            seen = true;
            break;
        }
    }
    EXPECT_TRUE(seen);
}
