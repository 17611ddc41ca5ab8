// What verify-medium reads of a medium, as typed values, row by row on both sides of each line: the
// build record by the grammar make-medium writes, the published sums by sha256sum's form, and an
// image (made here by xorriso) in both trees of names, its files' extents and families, and its
// languages held to the installer's rules.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <variant>
#include <vector>

#include "image.h"
#include "layout.h"
#include "record.h"
#include "shown.h"
#include "sums.h"

namespace {

using proof::BuildRecord;
using proof::RecordRefused;

// The record's fixed texts, as make-medium's facts state them.
const proof::RecordTexts texts{"Tolvanix medium: how its launcher, Project1.exe, was built (tools/verify-medium checks it)",
                               "uncommitted changes (Project1.exe was built with them; a rebuild of the commit may differ)"};

const std::string genuine =
    texts.heading + "\n"
    "commit: 403e7463d10a1a10c5f4210c96be7f7156d27ddf\n"
    "tree: clean\n"
    "SOURCE_DATE_EPOCH: 1796777642\n"
    "Debian release: bookworm (12)\n"
    "package: g++-mingw-w64-i686-posix 12.2.0-14+deb12u1+25.2+b1\n"
    "package: binutils-mingw-w64-i686 2.40-2+10.4\n"
    "package: cmake 3.25.1-1\n"
    "mastering: libisofs6 1.5.4-1\n"
    "mastering: xorriso 1.5.4-4\n"
    "unsigned Project1.exe SHA-256: 6647cf71bde72fb36451e4cd3fdbcd4f7af94e8a2c3936987ecb77e9e7b84e18\n";

// The genuine record with its line that starts with FROM written as TO (or left out, when TO is
// empty); where it stands, in LINE.
std::string Replaced(const std::string& from, const std::string& to, std::size_t& line)
{
    const std::size_t at = genuine.find("\n" + from) + 1;
    line = 1 + static_cast<std::size_t>(std::count(genuine.begin(), genuine.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
    const std::size_t end = genuine.find('\n', at) + 1;
    return genuine.substr(0, at) + (to.empty() ? "" : to + "\n") + genuine.substr(end);
}

TEST(BuildRecord, TheGenuineRecordReadsAsItsValues)
{
    const auto read = proof::ReadRecord(genuine, texts);
    ASSERT_TRUE(std::holds_alternative<BuildRecord>(read)) << "refused at line " << std::get<RecordRefused>(read).line;
    const BuildRecord& record = std::get<BuildRecord>(read);
    EXPECT_EQ(record.commit, "403e7463d10a1a10c5f4210c96be7f7156d27ddf");
    EXPECT_EQ(record.tree, proof::TreeState::Clean);
    EXPECT_EQ(record.epoch, 1796777642u);
    EXPECT_EQ(record.codename, "bookworm");
    EXPECT_EQ(record.packages.at("cmake"), "3.25.1-1");
    EXPECT_EQ(record.mastering.at("xorriso"), "1.5.4-4");
    EXPECT_EQ(record.mastering.size(), 2u);
    EXPECT_EQ(record.launcherSha256, "6647cf71bde72fb36451e4cd3fdbcd4f7af94e8a2c3936987ecb77e9e7b84e18");
    EXPECT_EQ(record.lines, 11u);
}

TEST(BuildRecord, EachFieldIsHeldToItsGrammarOnBothSides)
{
    const struct {
        std::string from, to;
        bool taken;
    } rows[] = {
        {"commit: ", "commit: " + std::string(40, 'a'), true},
        {"commit: ", "commit: " + std::string(64, 'f'), true},
        {"commit: ", "commit: " + std::string(39, 'a'), false},
        {"commit: ", "commit: " + std::string(41, 'a'), false},
        {"commit: ", "commit: " + std::string(40, 'A'), false},
        {"commit: ", "commit: HEAD", false},
        {"commit: ", "commit: $(touch ran)", false},
        {"tree: ", "tree: " + texts.uncommitted, true},
        {"tree: ", "tree: dirty", false},
        {"tree: ", "tree: clean; touch ran", false},
        {"SOURCE_DATE_EPOCH: ", "SOURCE_DATE_EPOCH: unset", true},
        {"SOURCE_DATE_EPOCH: ", "SOURCE_DATE_EPOCH: 0", true},
        {"SOURCE_DATE_EPOCH: ", "SOURCE_DATE_EPOCH: " + std::string(19, '9'), true},
        {"SOURCE_DATE_EPOCH: ", "SOURCE_DATE_EPOCH: " + std::string(20, '9'), false},
        {"SOURCE_DATE_EPOCH: ", "SOURCE_DATE_EPOCH: -1", false},
        {"SOURCE_DATE_EPOCH: ", "SOURCE_DATE_EPOCH: `touch ran`", false},
        {"Debian release: ", "Debian release: trixie (13)", true},
        {"Debian release: ", "Debian release: unknown (no number)", true},
        {"Debian release: ", "Debian release: bookworm (12.4)", true},
        {"Debian release: ", "Debian release: none (Ubuntu 24.04 LTS)", true},
        {"Debian release: ", "Debian release: Bookworm (12)", false},
        {"Debian release: ", "Debian release: bookworm 12", false},
        {"Debian release: ", "Debian release: bookworm (12) && touch ran", false},
        {"Debian release: ", "Debian release: none ()", false},
        {"package: cmake ", "package: cmake not installed", true},
        {"package: cmake ", "package: cmake 1:3.25.1-1~bpo12+1", true},
        {"package: cmake ", "package: cmake 3.25.1", true},
        {"package: cmake ", "package: cmake 3.25.1-", false},
        {"package: cmake ", "package: Cmake 3.25.1-1", false},
        {"package: cmake ", "package: c 3.25.1-1", false},
        {"package: cmake ", "package: cmake;touch${IFS}ran;: 3.25.1-1", false},
        {"package: cmake ", "package: cmake 3.25.1-1 >ran", false},
        {"package: cmake ", "package: cmake a3.25", false},
        {"mastering: xorriso ", "mastering: xorriso not installed", false},
        {"mastering: xorriso ", "mastering: xorriso 1.5.6-1", true},
        {"unsigned Project1.exe SHA-256: ", "unsigned Project1.exe SHA-256: " + std::string(64, '0'), true},
        {"unsigned Project1.exe SHA-256: ", "unsigned Project1.exe SHA-256: " + std::string(63, '0'), false},
        {"unsigned Project1.exe SHA-256: ", "unsigned Project1.exe SHA-256: " + std::string(65, '0'), false},
        // A line of another key, a key twice, a control character, a line that is not UTF-8.
        {"tree: ", "branch: main", false},
        {"package: cmake ", "package: binutils-mingw-w64-i686 2.40-2+10.4", false},
        {"mastering: xorriso ", "mastering: libisofs6 1.5.4-1", false},
        {"tree: ", "tree: clean\r", false},
        {"tree: ", "tree:\tclean", false},
        {"Debian release: ", "Debian release: none (x\x1b]0;forged\x07)", false},
        {"Debian release: ", "Debian release: none (x\u0085)", false},
        {"Debian release: ", "Debian release: none (x\x7f)", false},
        {"Debian release: ", "Debian release: none (\xe9t\xe9)", false},
        {"Debian release: ", "Debian release: none (\u00e9t\u00e9)", true},
        {"Debian release: ", std::string("Debian release: none (a\0b)", sizeof "Debian release: none (a\0b)" - 1), false},
        {"tree: ", "", false},
        {"SOURCE_DATE_EPOCH: ", "", false},
        {"unsigned Project1.exe SHA-256: ", "", false},
        {"mastering: xorriso ", "", true},
    };
    for (const auto& row : rows) {
        std::size_t line = 0;
        const std::string text = Replaced(row.from, row.to, line);
        SCOPED_TRACE(std::string("\"").append(medium::Shown(row.to)).append("\" in place of the line ").append(row.from));
        const auto read = proof::ReadRecord(text, texts);
        EXPECT_EQ(std::holds_alternative<BuildRecord>(read), row.taken);
        // A line refused is named; one missing, past the end.
        if (!row.taken) {
            ASSERT_TRUE(std::holds_alternative<RecordRefused>(read));
            EXPECT_EQ(std::get<RecordRefused>(read).line, row.to.empty() ? 11u : line);
        }
    }
}

TEST(BuildRecord, ACommitAndItsTreeOrNeitherAndTheHeadingFirst)
{
    std::size_t line = 0;
    const std::string noClone = Replaced("commit: ", "commit: unknown (not built from a git clone)", line);
    const auto withTree = proof::ReadRecord(noClone, texts);
    ASSERT_TRUE(std::holds_alternative<RecordRefused>(withTree));
    EXPECT_EQ(std::get<RecordRefused>(withTree).line, 12u);
    const std::string withoutTree = noClone.substr(0, noClone.find("tree: ")) + noClone.substr(noClone.find("SOURCE_DATE_EPOCH"));
    const auto read = proof::ReadRecord(withoutTree, texts);
    ASSERT_TRUE(std::holds_alternative<BuildRecord>(read));
    EXPECT_EQ(std::get<BuildRecord>(read).commit, "");
    EXPECT_EQ(std::get<RecordRefused>(proof::ReadRecord("x" + genuine, texts)).line, 1u);
    EXPECT_EQ(std::get<RecordRefused>(proof::ReadRecord("", texts)).line, 1u);
    EXPECT_EQ(std::get<RecordRefused>(proof::ReadRecord(genuine + "\n", texts)).line, 12u);
}

TEST(BuildRecord, TheLongestRecordIsTakenAndOneByteMoreRefused)
{
    // The genuine record, grown to the bound by a last package line of the right length.
    const std::string before = genuine.substr(0, genuine.find("unsigned Project1.exe"));
    const std::string after = genuine.substr(genuine.find("unsigned Project1.exe"));
    const std::string prefix = "package: zz 1.";
    const std::size_t digits = proof::recordBytesAtMost - before.size() - after.size() - prefix.size() - 1;
    const std::string longest = before + prefix + std::string(digits, '1') + "\n" + after;
    ASSERT_EQ(longest.size(), proof::recordBytesAtMost);
    EXPECT_TRUE(std::holds_alternative<BuildRecord>(proof::ReadRecord(longest, texts)));
    const std::string over = before + prefix + std::string(digits + 1, '1') + "\n" + after;
    const auto read = proof::ReadRecord(over, texts);
    ASSERT_TRUE(std::holds_alternative<RecordRefused>(read));
    // The line within which the bound is passed: the last.
    EXPECT_EQ(std::get<RecordRefused>(read).line, 12u);
    EXPECT_EQ(std::get<RecordRefused>(read).why, "it is over 65536 bytes");
}

TEST(PublishedSums, EachLineIsHeldToSha256sumsFormOnBothSides)
{
    const std::string sum(64, 'a');
    enum Kind { Listed, NotTheForm, Outside };
    const struct {
        std::string line;
        Kind kind;
        std::string name;
    } rows[] = {
        {sum + "  Tolvanix.iso", Listed, "Tolvanix.iso"},
        {sum + " *Tolvanix/English/setup.exe", Listed, "Tolvanix/English/setup.exe"},
        {sum + "  Tolvanix/a b\tc", Listed, "Tolvanix/a b\tc"},
        {sum + "  Tolvanix/..x", Listed, "Tolvanix/..x"},
        {sum + "  Tolvanix/0\xc2\x9b" "31m", Listed, "Tolvanix/0\xc2\x9b" "31m"},
        {sum.substr(1) + "  Tolvanix.iso", NotTheForm, ""},
        {sum + "a  Tolvanix.iso", NotTheForm, ""},
        {std::string(64, 'A') + "  Tolvanix.iso", NotTheForm, ""},
        {sum + " Tolvanix.iso", NotTheForm, ""},
        {sum + "  ", NotTheForm, ""},
        {sum + "\tTolvanix.iso", NotTheForm, ""},
        {sum + "  /etc/passwd", Outside, "/etc/passwd"},
        {sum + "  Tolvanix/../../victim.exe", Outside, "Tolvanix/../../victim.exe"},
        {sum + "  ..", Outside, ".."},
        {"\\" + sum + "  Tolvanix/a\\nb", NotTheForm, ""},
        {sum + "  \\Tolvanix", Outside, "\\Tolvanix"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(medium::Shown(row.line));
        // Each row second, after an empty line, so that its line is 3.
        const auto read = proof::ReadSums(sum + "  Tolvanix.build-record.txt\n\n" + row.line + "\n");
        if (row.kind == Listed) {
            ASSERT_TRUE(std::holds_alternative<std::vector<proof::Listed>>(read));
            const auto& listed = std::get<std::vector<proof::Listed>>(read);
            ASSERT_EQ(listed.size(), 2u);
            EXPECT_EQ(listed[1].name, row.name);
            EXPECT_EQ(listed[1].sha256, sum);
        } else {
            ASSERT_TRUE(std::holds_alternative<proof::SumsRefused>(read));
            const auto& refused = std::get<proof::SumsRefused>(read);
            EXPECT_EQ(refused.line, 3u);
            EXPECT_EQ(refused.outside, row.kind == Outside);
            EXPECT_EQ(refused.name, row.name);
        }
    }
}

}  // namespace

// --- An image, as each tree of names reads it -------------------------------------------------

namespace image_rows {

// A folder made in a temporary folder and written as an image with xorriso as make-medium writes
// one; HIDDEN names stay out of one tree of names (-hide: Rock Ridge and ISO 9660; -hide-joliet).
class MediumImage : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/medium-reader.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        top_ = pattern;
        std::filesystem::create_directories(top_ + "/tree");
    }
    void TearDown() override { std::filesystem::remove_all(top_); }

    void File(const std::string& path, const std::string& bytes)
    {
        std::filesystem::create_directories(std::filesystem::path(top_ + "/tree/" + path).parent_path());
        std::ofstream(top_ + "/tree/" + path, std::ios::binary) << bytes;
    }
    std::string Path(const std::string& below) const { return top_ + "/" + below; }
    // The image; ARGUMENTS more of xorriso's, each quoted.
    std::string Image(const std::string& arguments = "")
    {
        const std::string image = top_ + "/medium.iso";
        const std::string command = "xorriso -as mkisofs -quiet -input-charset UTF-8 -J -joliet-long -r -o '" + image + "' " +
                                    arguments + " '" + top_ + "/tree' >/dev/null 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return image;
    }

    std::string top_;
};

std::string Bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(MediumImage, EachTreeOfNamesListsFoldersFilesAndTheirExtents)
{
    File("English/setup.exe", std::string(5000, 's'));
    File("English/Data/a.cab", "the same bytes");
    File("English/Sub/empty", "");
    File("English/Sub/also empty", "");
    File("Project1.exe", "MZ");
    std::filesystem::create_hard_link(Path("tree/English/Data/a.cab"), Path("tree/English/b.cab"));
    std::filesystem::create_directories(Path("tree/German"));
    std::filesystem::create_symlink("../English/setup.exe", Path("tree/German/setup.exe"));
    File("Name\x01" "with control", "x");
    File("only Linux reads.txt", "r");
    File("only Windows reads.txt", "w");
    const std::string image = Image("-hide-joliet '" + Path("tree/only Linux reads.txt") + "' -hide '" +
                                    Path("tree/only Windows reads.txt") + "'");
    std::string why;
    const auto rockRidge = proof::LoadedImage::Load(image, proof::Names::RockRidge, why);
    const auto joliet = proof::LoadedImage::Load(image, proof::Names::Joliet, why);
    ASSERT_TRUE(rockRidge && joliet) << why;
    using Kind = proof::ImageEntry::Kind;
    const struct {
        std::string path;
        bool inRockRidge, inJoliet;
        Kind kind;
        std::uint64_t size;
    } rows[] = {
        {"/English", true, true, Kind::Folder, 0},
        {"/English/setup.exe", true, true, Kind::File, 5000},
        {"/English/Data/a.cab", true, true, Kind::File, 14},
        {"/English/b.cab", true, true, Kind::File, 14},
        {"/English/Sub/empty", true, true, Kind::File, 0},
        {"/German/setup.exe", true, false, Kind::Other, 0},
        {"/Name\x01" "with control", true, false, Kind::File, 1},
        {"/only Linux reads.txt", true, false, Kind::File, 1},
        {"/only Windows reads.txt", false, true, Kind::File, 1},
        {"/english", false, false, Kind::Folder, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(medium::Shown(row.path));
        const proof::ImageEntry* inRockRidge = rockRidge->Find(row.path);
        EXPECT_EQ(inRockRidge != nullptr, row.inRockRidge);
        EXPECT_EQ(joliet->Find(row.path) != nullptr, row.inJoliet);
        if (inRockRidge) {
            EXPECT_EQ(static_cast<int>(inRockRidge->kind), static_cast<int>(row.kind));
            EXPECT_EQ(inRockRidge->size, row.size);
        }
    }
    // Linked files share their extent; an empty file has one, of no bytes.
    EXPECT_EQ(rockRidge->Find("/English/Data/a.cab")->block, rockRidge->Find("/English/b.cab")->block);
    EXPECT_NE(rockRidge->Find("/English/Data/a.cab")->block, rockRidge->Find("/English/setup.exe")->block);
    EXPECT_EQ(rockRidge->Find("/English/Sub/empty")->extents, 1);
    // In the order of their bytes, each folder's names after it.
    std::vector<std::string> paths;
    for (const proof::ImageEntry& entry : rockRidge->Entries())
        paths.push_back(entry.path);
    EXPECT_TRUE(std::is_sorted(paths.begin(), paths.end())) << "not in the order of their bytes";
}

TEST_F(MediumImage, AFileIsCopiedOutNoFurtherThanAsked)
{
    const std::string bytes = "0123456789" + std::string(3 << 20, 'x');
    File("Project1.exe", bytes);
    std::string why;
    const auto image = proof::LoadedImage::Load(Image(), proof::Names::RockRidge, why);
    ASSERT_TRUE(image) << why;
    const proof::ImageEntry& launcher = *image->Find("/Project1.exe");
    ASSERT_TRUE(image->Copy(launcher, Path("whole"), launcher.size));
    EXPECT_EQ(Bytes(Path("whole")), bytes);
    ASSERT_TRUE(image->Copy(launcher, Path("ten"), 10));
    EXPECT_EQ(Bytes(Path("ten")), "0123456789");
    // Never over a file of this machine, nor through a link.
    std::filesystem::create_symlink(Path("whole"), Path("link"));
    EXPECT_FALSE(image->Copy(launcher, Path("link"), 10));
    EXPECT_FALSE(image->Copy(launcher, Path("ten"), 10));
    EXPECT_EQ(Bytes(Path("whole")), bytes);
}

TEST_F(MediumImage, WhatNoImageOfMakeMediumHoldsStopsTheReading)
{
    File("Project1.exe", "MZ");
    const std::string image = Image();
    std::string why;
    ASSERT_TRUE(proof::LoadedImage::Load(image, proof::Names::RockRidge, why)) << why;
    // Rock Ridge announced under a name no reader knows: its names are no longer read as written.
    std::string bytes = Bytes(image);
    const std::size_t at = bytes.find("RRIP_1991A");
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 4, "XXIP");
    std::ofstream(image, std::ios::binary) << bytes;
    why.clear();
    EXPECT_FALSE(proof::LoadedImage::Load(image, proof::Names::RockRidge, why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(proof::LoadedImage::Load(Path("no such image"), proof::Names::RockRidge, why));
}

TEST_F(MediumImage, FilesOfOneContentAreOneFamilyWhereverTheyLie)
{
    const std::string setup(5000, 's'), head(64 * 1024, 'h');
    File("English/setup.exe", setup);
    File("German/setup.exe", setup);  // a copy: an extent of its own
    std::filesystem::create_directories(Path("tree/French"));
    std::filesystem::create_hard_link(Path("tree/English/setup.exe"), Path("tree/French/setup.exe"));  // the same extent
    File("English/one.cab", "AAAA");
    File("English/two.cab", "BBBB");  // the same size, another content
    File("English/long-1.cab", head + "one");
    File("English/long-2.cab", head + "two");  // the same first 64 KiB, another content
    File("English/long-3.cab", head + "one");  // the same as the first
    File("English/empty-1", "");
    File("English/Sub/empty-2", "");
    std::string why;
    const auto image = proof::LoadedImage::Load(Image(), proof::Names::RockRidge, why);
    ASSERT_TRUE(image) << why;
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"/English/long-3.cab", "/English/long-1.cab"},
        {"/French/setup.exe", "/English/setup.exe"},
        {"/German/setup.exe", "/English/setup.exe"},
    };
    EXPECT_EQ(proof::ContentFamilies(*image), expected);
}

TEST_F(MediumImage, EachLanguageFolderIsHeldToTheInstallerRulesAtAnyDepth)
{
    File("English/setup.exe", "MZ");
    File("English/Aux.txt", "a");
    File("German/SETUP.EXE", "MZ");
    File("German/Sub/Deeper/x.cab", "x");
    File("German/Sub/Deeper/X.cab", "x");
    // French: "D:\French" is 9 units; 249 more make the longest path, one more too long.
    File("French/setup.exe", "MZ");
    File("French/" + std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(47, 'c'), "taken");
    File("French/" + std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(48, 'd'), "refused");
    std::string why;
    const auto image = proof::LoadedImage::Load(Image(), proof::Names::RockRidge, why);
    ASSERT_TRUE(image) << why;
    medium::Problems problems;
    proof::CheckLanguages(*image, problems);
    std::vector<std::pair<int, std::string>> found;
    for (const medium::Problem& problem : problems.Kept())
        found.emplace_back(static_cast<int>(problem.rule), problem.path);
    const std::vector<std::pair<int, std::string>> expected = {
        {static_cast<int>(medium::Broken::Name), "English/Aux.txt"},
        {static_cast<int>(medium::Broken::CaseTwin), "German/Sub/Deeper/x.cab"},
        {static_cast<int>(medium::Broken::PathTooLong),
         "French/" + std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(48, 'd')},
    };
    EXPECT_EQ(found, expected);
    // A language whose top holds no setup program is refused too.
    std::filesystem::remove(Path("tree/French/setup.exe"));
    const auto withoutSetup = proof::LoadedImage::Load(Image(), proof::Names::RockRidge, why);
    ASSERT_TRUE(withoutSetup) << why;
    medium::Problems more;
    proof::CheckLanguages(*withoutSetup, more);
    EXPECT_TRUE(std::any_of(more.Kept().begin(), more.Kept().end(), [](const medium::Problem& p) {
        return p.rule == medium::Broken::NoSetup && p.path == "French";
    }));
}

}  // namespace image_rows
