#include "support/Samples.h"

#include <QFile>
#include <QJsonDocument>
#include <algorithm>

namespace testing_support {

namespace fs = std::filesystem;

fs::path samplesFolder() {
    return ORVANDEL_SAMPLES_DIR;
}

bool haveSamples() {
    return fs::is_directory(samplesFolder() / "expected");
}

std::vector<SampleReference> sampleReferences() {
    std::vector<fs::path> paths;
    for (const auto& entry : fs::recursive_directory_iterator(samplesFolder() / "expected")) {
        if (entry.path().extension() == ".json") {
            paths.push_back(entry.path());
        }
    }
    std::sort(paths.begin(), paths.end());
    std::vector<SampleReference> found;
    for (const fs::path& path : paths) {
        QFile file(QString::fromStdString(path.string()));
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QJsonObject expected = QJsonDocument::fromJson(file.readAll()).object();
        const QString name = expected["file"].toString();
        QString table = name.toUpper();
        table.chop(3);
        found.push_back({samplesFolder() / path.parent_path().filename(), name, table, expected});
    }
    return found;
}

double round15(double x) {
    return QString::number(x, 'g', 15).toDouble();
}

} // namespace testing_support
