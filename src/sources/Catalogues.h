#pragma once

// The connection tests and the table catalogues of both sides.

#include "platform/odbc/Odbc.h"
#include "platform/userio/TableList.h"
#include "sources/Settings.h"

namespace sources {

// True when the folder itself holds at least one "*.db" file. Never touches
// the disk for an empty folder text; never throws.
bool testParadoxFolder(const ConnectionSettings& settings);

// Why testParadoxFolder fails, as a sentence for the user (no folder given, the
// folder does not exist, cannot be read, or holds no table); empty when it
// passes. Never throws.
QString whyParadoxFolderFails(const ConnectionSettings& settings);

// Appends the table names found in the folder tree (upper-cased, ".DB"
// removed, "~" names skipped), root folder first, level by level.
void listParadoxTables(userio::TableList& list, const ConnectionSettings& settings);

// What a user should know of the code page a Paradox table's text is read
// in (the table of the folder, else of the first subfolder holding it):
// which one and why when it is not the one the header names, else nothing;
// why not when the table cannot be read. Reads the table's text sample.
QString codePageNoteOf(const ConnectionSettings& settings, const QString& table);

// True when the data source opens (provider set). Every error gives false.
bool testDataSource(const ConnectionSettings& settings, odbc::Opener& opener);

// Replaces the list's entries with the names of the data source's tables of
// type "TABLE" whose upper-cased names do not hold "SYS", fetched row by row
// with window events let through per table. The list is cleared only once
// the connection and the catalogue are open; errors propagate.
void listTargetTables(userio::TableList& list, const ConnectionSettings& settings,
                      odbc::Opener& opener);

// The connection gate: the Paradox test, and only when it passed, the
// data source test.
bool passGate(const ConnectionSettings& settings, odbc::Opener& opener);

} // namespace sources
