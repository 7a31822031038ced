#include "platform/odbc/ConnectionString.h"

#include <QStringList>

namespace odbc::detail {

namespace {

const QString odbcProvider = QStringLiteral("MSDASQL");

// Errors found before any ODBC call have no native error number.
[[noreturn]] void refuse(const QString& description) {
    throw Error(0, description);
}

void checkProvider(const QString& provider) {
    const QString name = provider.trimmed();
    if (!name.isEmpty() && name.compare(odbcProvider, Qt::CaseInsensitive) != 0) {
        refuse(QStringLiteral("Provider \"%1\" is not supported: only the ODBC provider (%2) "
                              "can be used. Remove the provider or set it to %2.")
                   .arg(provider, odbcProvider));
    }
}

} // namespace

DataSourceRequest dataSourceOf(const OpenRequest& request) {
    checkProvider(request.provider);
    DataSourceRequest result;
    QStringList driverKeys;
    const QStringList parts = request.connectionString.split(QLatin1Char(';'));
    for (const QString& part : parts) {
        if (part.trimmed().isEmpty()) {
            continue;
        }
        const qsizetype equals = part.indexOf(QLatin1Char('='));
        if (equals < 0) {
            refuse(QStringLiteral("The connection string part \"%1\" has no '='. Write it as "
                                  "\"Data Source=<name>\".")
                       .arg(part));
        }
        const QString key = part.left(equals).trimmed();
        const QString value = part.mid(equals + 1);
        if (key.compare(QLatin1String("Data Source"), Qt::CaseInsensitive) == 0) {
            result.name = value.trimmed(); // blanks around a pasted name are not part of it
        } else if (key.compare(QLatin1String("Provider"), Qt::CaseInsensitive) == 0) {
            checkProvider(value);
        } else {
            driverKeys << part;
        }
    }
    result.driverKeys = driverKeys.join(QLatin1Char(';'));
    return result;
}

} // namespace odbc::detail
