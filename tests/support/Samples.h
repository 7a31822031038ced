#pragma once

// The real Paradox sample tables and their reference values.

#include <QJsonObject>
#include <QString>
#include <filesystem>
#include <vector>

namespace testing_support {

struct SampleReference {
    std::filesystem::path folder; // e.g. ".../paradox-samples/db"
    QString file;                 // the table file as the reference names it
    QString table;                // as the catalogue lists it: upper case, no extension
    QJsonObject expected;
};

// The samples folder; whether it holds the references.
std::filesystem::path samplesFolder();
bool haveSamples();

// x rounded to 15 significant digits, as the references give numbers.
double round15(double x);

// Every sample table with a reference in expected/, in path order.
std::vector<SampleReference> sampleReferences();

} // namespace testing_support
