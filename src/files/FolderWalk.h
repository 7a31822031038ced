#pragma once

// Folder routines: listing table files and collecting subfolders. Paths are
// kept as the file system's bytes, so that names that are not UTF-8 stay
// reachable.

#include <QString>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace files {

// A wildcard such as "*.db": "*" stands for any run of characters, "?" for
// one; letter case is ignored.
class Wildcard {
public:
    explicit Wildcard(const QString& pattern);
    // Whether a file name (its bytes, read as files::decodeFileName reads
    // them) matches.
    bool matches(std::string_view name) const;

private:
    QString folded_;
    std::string ascii_; // the pattern in ASCII lower case, when it is ASCII
    bool asciiPattern_ = true;
};

// Bare names of the ordinary files in folder whose name (as text) matches
// pattern (a wildcard such as "*.db", letter case ignored), in enumeration
// order. Hidden files are included, folders are not. A folder that is missing
// or cannot be read gives an empty list.
std::vector<std::filesystem::path> listFiles(const std::filesystem::path& folder,
                                             const QString& pattern);

// Extends queue breadth-first with the subfolders of its folders, level by
// level; with recurse set, all deeper levels too. Hidden folders are never
// entered and a folder reached twice is walked once. Lets window events
// through while it walks.
void collectSubfolders(std::vector<std::filesystem::path>& queue, bool recurse);

// The files that listFiles gives for root and for every folder that
// collectSubfolders adds to it with recurse set, in that order, each folder
// read once. visit gets the bare names.
void listTreeFiles(const std::filesystem::path& root, const QString& pattern,
                   const std::function<void(const std::filesystem::path&)>& visit);

// The first folder of the tree under root that holds the table's data file
// (as findTableFile finds it): root itself, else the first folder that
// collectSubfolders adds to it with recurse set.
std::optional<std::filesystem::path> findTableFolder(const std::filesystem::path& root,
                                                     const QString& table);

} // namespace files
