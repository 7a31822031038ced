#pragma once

// The two connection settings: where they are stored and the connection
// strings built from them.

#include <QString>

namespace sources {

// The live settings: the current texts of the setup window's two fields.
class ConnectionSettings {
public:
    virtual ~ConnectionSettings() = default;
    virtual QString paradoxFolder() const = 0;  // folderField
    virtual QString dataSourceName() const = 0; // dataSourceField
};

// The per-user settings store.
namespace store {
inline constexpr auto Organisation = "Marrowfen";
inline constexpr auto Group = "Orvandel";
inline constexpr auto ParadoxFolder = "ParadoxFolder";
inline constexpr auto DataSourceName = "DataSourceName";
// Entries of the code page of a folder's tables whose header names 1252
// (codepage/Preference.h): CodePages/<any name>/Folder and .../CodePage.
inline constexpr auto CodePages = "CodePages";
inline constexpr auto Folder = "Folder";
inline constexpr auto CodePage = "CodePage";
// The stored value of a key; the empty string when absent.
QString read(const char* key);
// Stores the value; empty when that worked, else why it could not be stored.
QString write(const char* key, const QString& value);
} // namespace store

// "Data Source=" followed by the data source name, nothing else.
QString dataSourceConnectionString(const QString& dataSourceName);

} // namespace sources
