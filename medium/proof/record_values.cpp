// medium_reader record: the build record read, said in a line, and its values handed to
// verify-medium, each ended by a NUL: the commit, the tree (clean or uncommitted), the epoch
// (digits, or nothing), the release's codename, the release as it may be shown, the launcher's
// SHA-256 before signing, the mastering tool's packages and versions as they may be shown, and how
// many lines the record has.

#include "reader_commands.h"
#include "record.h"
#include "shown.h"
#include "verdict.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace proof {

BuildRecord RecordOf(const std::string& path, const RecordTexts& texts)
{
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto read = ReadRecord(text, texts);
    if (const auto* refused = std::get_if<RecordRefused>(&read))
        CannotTell("the build record is not one that make-medium writes (line " + std::to_string(refused->line) + ")" +
                   (refused->why.empty() ? "" : ": " + refused->why));
    return std::get<BuildRecord>(read);
}

std::string MasteringShown(const BuildRecord& record)
{
    std::string shown;
    for (const auto& [name, version] : record.mastering)
        shown += (shown.empty() ? "" : ", ") + name + " " + version;
    return shown;
}

int Record(const std::string& path, const RecordTexts& texts)
{
    const BuildRecord record = RecordOf(path, texts);
    if (record.commit.empty())
        CannotTell("the build record names no commit (it says \"unknown (not built from a git clone)\"): the launcher "
                   "was not built from a git clone");
    const std::string tree = record.tree == TreeState::Clean ? "clean" : "uncommitted";
    const std::string epoch = record.epoch ? std::to_string(*record.epoch) : "";
    Say("the build record: commit " + record.commit + ", tree " + tree + ", SOURCE_DATE_EPOCH " +
        (epoch.empty() ? "unset" : epoch) + ", Debian " + medium::Shown(record.release));
    for (const std::string& value : {record.commit, tree, epoch, record.codename, medium::Shown(record.release),
                                     record.launcherSha256, MasteringShown(record), std::to_string(record.lines)})
        std::fwrite(value.c_str(), 1, value.size() + 1, stdout);
    return 0;
}

}  // namespace proof
