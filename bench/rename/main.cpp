// Renames a Paradox table whose memo file is 1 GB (sparse) back and forth in
// a temporary folder, and times the whole family's rename: each file renamed
// in place, then the copying fallback on a memo file of 100 MB written out.
// Prints name=value lines: seconds (median, least, largest), and the memo
// file's allocated MB before and after, which a rename must not change.
//
//     bench-rename [folder]   (default: a new folder under the temporary folder)

#include "Bench.h"
#include "files/Files.h"
#include "files/TableFamily.h"

#include <QTemporaryDir>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
namespace pw = paradox_writer;

namespace {

// A keyed-looking family: the data file with a memo, a primary index and
// validity checks; the memo file is then made size bytes long, sparse or
// written out.
void writeFamily(const fs::path& folder, off_t size, bool sparse) {
    const std::string data = (folder / "BIG.DB").native();
    pw::TableDesign design;
    design.columns = {{"Id", pw::Long}, {"Note", pw::Memo, 30}};
    pw::writeTable(data, design, {{std::int64_t{1}, std::string(500, 'n')}});
    for (const char* companion : {"BIG.PX", "BIG.VAL"}) {
        std::ofstream((folder / companion).native()) << companion;
    }
    const std::string memo = (folder / "BIG.MB").native();
    if (sparse) {
        if (::truncate(memo.c_str(), size) != 0)
            bench::fail("cannot make the memo file large");
        return;
    }
    const int fd = ::open(memo.c_str(), O_WRONLY | O_APPEND);
    const std::vector<char> block(1 << 20, 'm');
    while (fd >= 0 && ::lseek(fd, 0, SEEK_END) < size) {
        if (::write(fd, block.data(), block.size()) <= 0)
            bench::fail("cannot write the memo file");
    }
    ::close(fd);
}

double allocatedMb(const fs::path& file) {
    struct stat status {};
    ::stat(file.c_str(), &status);
    return static_cast<double>(status.st_blocks) * 512 / (1 << 20);
}

// Renames the table from one name to the other and back, rounds times each.
bench::Spread timeRenames(const fs::path& folder, files::MoveWay way, int rounds) {
    std::vector<double> seconds;
    const QString names[2] = {QStringLiteral("BIG"), QStringLiteral("MOVED")};
    for (int i = 0; i < 2 * rounds; ++i) {
        const QString from = names[i % 2], to = names[1 - i % 2];
        const auto family = files::findTableFamily(folder, from);
        if (!family)
            bench::fail("the table is gone");
        files::FamilyChange change;
        seconds.push_back(
            bench::secondsOf([&] { change = files::renameTableFamily(*family, from, to, way); }));
        if (!change.done)
            bench::fail(change.message.toStdString());
    }
    return bench::spreadOf(seconds);
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir temporary(argc > 1 ? QString::fromLocal8Bit(argv[1]) + "/bench-rename-XXXXXX"
                                     : QString());
    if (!temporary.isValid())
        bench::fail("cannot make a temporary folder");
    const fs::path folder = files::pathOf(temporary.path());

    writeFamily(folder, off_t{1} << 30, true);
    bench::print("sparse_memo_allocated_mb_before", allocatedMb(folder / "BIG.MB"));
    bench::print("rename_1gb_sparse_seconds", timeRenames(folder, files::MoveWay::Rename, 10), 6);
    bench::print("sparse_memo_allocated_mb_after", allocatedMb(folder / "BIG.MB"));

    fs::remove_all(folder);
    fs::create_directory(folder);
    writeFamily(folder, off_t{100} << 20, false);
    bench::print("rename_100mb_seconds", timeRenames(folder, files::MoveWay::Rename, 5), 6);
    bench::print("copying_rename_100mb_seconds", timeRenames(folder, files::MoveWay::Copy, 2));
    return 0;
}
