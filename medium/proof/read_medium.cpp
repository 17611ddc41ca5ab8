// medium_reader image, tree and root: a medium's record taken first, then its root and the other
// files verify-medium reads taken from it; what it holds that no medium make-medium writes holds:
// an image read in both trees of names, a tree's language folders read as make-medium reads a
// vendor's installer.

#include "reader_commands.h"
#include "image.h"
#include "installer_check.h"
#include "record.h"
#include "root.h"
#include "shown.h"
#include "verdict.h"
#include "windows_names.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>

namespace proof {
namespace {

[[noreturn]] void NoRecord(const std::string& shown)
{
    CannotTell(shown + " carries no build record (build-record.txt): it was made before media carried one, or it was "
                       "removed, and nothing says what to rebuild");
}

// The record, taken first: its grammar is read before anything else of the medium.
void TakeRecord(const MediumRoot& root, const std::string& shown, const std::string& work)
{
    switch (const Taken taken = root.Take("build-record.txt", work + "/build-record.txt", recordBytesAtMost); taken.result) {
    case Taken::Result::Whole:
    case Taken::Result::Over:  // the record's reader says where
        break;
    case Taken::Result::Missing:
        NoRecord(shown);
    case Taken::Result::NotAFile:
        CannotTell("build-record.txt on the medium is " + taken.kind + ", not a build record");
    case Taken::Result::Twice:
        CannotTell("build-record.txt on the medium is there more than once, as names that differ only in case");
    case Taken::Result::Unreadable:
        CannotTell("build-record.txt on the medium cannot be read");
    }
}

// The root's names, the launcher and autorun.inf.
void ReadRoot(const MediumRoot& root, const std::string& shown, const std::string& work,
              const std::vector<std::string>& rootNames)
{
    std::string why;
    if (const std::string stray = StrayName(root, rootNames, why); !stray.empty())
        Different(shown + " holds " + medium::Shown(stray) + " at its root, " + why);
    switch (const Taken taken = root.Take("Project1.exe", work + "/Project1.exe", launcherBytesAtMost); taken.result) {
    case Taken::Result::Whole:
        break;
    case Taken::Result::Missing:
        CannotTell(shown + " holds no Project1.exe at its root");
    case Taken::Result::Over:
        Different("Project1.exe on the medium is over " + std::to_string(launcherBytesAtMost) +
                  " bytes, far more than any launcher this source builds");
    case Taken::Result::Unreadable:
        CannotTell("Project1.exe on the medium cannot be read");
    case Taken::Result::Twice:
        Different("Project1.exe on the medium is there more than once, as names that differ only in case, not a program");
    case Taken::Result::NotAFile:
        Different("Project1.exe on the medium is " + taken.kind + ", not a program");
    }
    const Taken autorun = root.Take("autorun.inf", work + "/autorun.inf", autorunBytesAtMost);
    const char* problem = autorun.result == Taken::Result::Whole      ? nullptr
                          : autorun.result == Taken::Result::Missing  ? "is missing"
                          : autorun.result == Taken::Result::Twice    ? "is there more than once, as names that differ only in case"
                          : autorun.result == Taken::Result::Over     ? "is over 4096 bytes"
                          : autorun.result == Taken::Result::NotAFile ? "is not a regular file"
                                                                      : "cannot be read";
    if (problem)
        Different(std::string("autorun.inf on the medium ") + problem + ": it may start something other than the launcher");
}

}  // namespace

// IMAGE's tree of NAMES: what stops libisofs is in no image make-medium writes, but for the
// memory it is given.
std::unique_ptr<LoadedImage> LoadedOrRefused(const std::string& path, Names names, const std::string& shown)
{
    std::string why;
    bool exhausted = false;
    auto image = LoadedImage::Load(path, names, why, &exhausted);
    if (exhausted)
        CannotTell(shown + " could not be read within the memory it is given");
    if (!image)
        Different(shown + " holds what no image make-medium writes holds: reading it stops at a warning or an error (" +
                  medium::Shown(why) + ")");
    return image;
}

int ReadImage(const std::string& path, const std::string& work)
{
    const std::string shown = ShownName(path);
    struct stat status {};
    if (stat(path.c_str(), &status) != 0)
        CannotTell(shown + " cannot be read");
    if (static_cast<std::uint64_t>(status.st_size) > mediumBytesAtMost)
        Different(shown + " is " + std::to_string(status.st_size) +
                  " bytes, more than any disc holds (128 GiB): it is no medium's image");
    char descriptor[6] = {};
    std::ifstream in(path, std::ios::binary);
    in.seekg(16 * 2048);
    if (!in.read(descriptor, sizeof descriptor) || std::string(descriptor, 6) != "\x01" "CD001")
        CannotTell(shown + " is no ISO 9660 image");
    // The creation time the image states, in seconds: make-medium gives every date of an image the
    // one time, which a record without an epoch does not name.
    char created[14] = {};
    in.seekg(16 * 2048 + 813);
    std::tm tm{};
    const bool stated = in.read(created, sizeof created) && std::all_of(created, created + 14, [](char c) { return c >= '0' && c <= '9'; }) &&
                        strptime(std::string(created, 14).c_str(), "%Y%m%d%H%M%S", &tm);
    // make-medium's times are SOURCE_DATE_EPOCH's, none before 1970.
    const time_t time = stated ? timegm(&tm) : -1;
    std::ofstream(work + "/image-time") << (time >= 0 ? std::to_string(time) : "");
    const auto rockRidge = LoadedOrRefused(path, Names::RockRidge, shown);
    const auto joliet = LoadedOrRefused(path, Names::Joliet, shown);
    for (const auto* tree : {rockRidge.get(), joliet.get()})
        for (const ImageEntry& entry : tree->Entries()) {
            if (entry.kind == ImageEntry::Kind::Other)
                Different(shown + " holds '" + medium::Shown(entry.path) +
                          "', which is neither a file nor a folder, as no image make-medium writes does");
            const std::string name = entry.path.substr(entry.path.find_last_of('/') + 1);
            if (medium::HoldsControlByte(name))
                Different(shown + " holds a name with a control character (below 0x20), which make-medium refuses");
            if (name.empty() || name == "." || name == "..")
                Different(shown + " holds a file or folder named '" + medium::Shown(name) +
                          "', which no file system holds and make-medium refuses");
        }
    // A medium made before media carried a record is no forgery, but nothing says what to rebuild;
    // one whose record only Windows reads is.
    if (!rockRidge->Find("/build-record.txt")) {
        if (!joliet->Find("/build-record.txt"))
            NoRecord(shown);
        Different(shown + " holds a build record that Windows reads (Joliet) and Linux does not (Rock Ridge): no image "
                          "make-medium writes does");
    }
    TakeRecord(*ImageRoot(*rockRidge), shown, work);
    return 0;
}

int ReadTree(const std::string& path, const std::string& work)
{
    TakeRecord(*TreeRoot(path), ShownName(path), work);
    return 0;
}

int ReadMediumRoot(const std::string& path, const std::string& work, bool image, const std::vector<std::string>& rootNames)
{
    const std::string shown = ShownName(path);
    if (image) {
        // An image is make-medium's alone: its root holds make-medium's names as make-medium
        // writes them, and no folder of Windows' own, which only a USB stick gains. Read in the
        // Linux names; the Windows names are held to them by the image written again.
        const auto loaded = LoadedOrRefused(path, Names::RockRidge, shown);
        const auto root = ImageRoot(*loaded);
        for (const auto& [name, folder] : root->Names())
            if (std::find(rootNames.begin(), rootNames.end(), name) == rootNames.end())
                Different(shown + " holds " + medium::Shown(name) + " at its root, which make-medium does not put there");
        ReadRoot(*root, shown, work, rootNames);
        return 0;
    }
    ReadRoot(*TreeRoot(path), shown, work, rootNames);
    // Each language's folder as make-medium reads a vendor's: what no medium holds (a name Windows
    // reads as another, a file of 4 GiB, a link) ends it, as do more bytes than a disc holds.
    std::vector<medium::Installer> installers;
    for (const char* language : {"English", "German", "French"}) {
        const std::string folder = path + "/" + language;
        struct stat status {};
        if (lstat(folder.c_str(), &status) != 0)
            Different(shown + "/" + language + " is missing, not a folder of the medium");
        if (!S_ISDIR(status.st_mode))
            Different(shown + "/" + language + " is " + medium::KindOf(status.st_mode) + ", not a folder of the medium");
        installers.push_back({language, folder});
    }
    medium::Problems problems;
    medium::CheckInstallers(installers, problems);
    if (problems.Count() > 0) {
        const medium::Problem& first = problems.Kept().front();
        Different(shown + " holds what make-medium does not put on a medium: " +
                  medium::Shown(first.path.substr(path.size() + 1)) + ": " + first.words);
    }
    if (const std::uint64_t bytes = TreeBytes(path, shown); bytes > mediumBytesAtMost)
        Different(shown + " holds " + std::to_string(bytes) + " bytes, more than any disc holds (128 GiB)");
    return 0;
}

}  // namespace proof
