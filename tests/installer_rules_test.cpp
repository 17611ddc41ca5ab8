// The rules a vendor's installer is read by, row by row on both sides of each line: the names
// Windows refuses or reads as another, the names the image's Windows names carry whole, names that
// are one in any case at any depth, and the longest path Windows opens.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "installer_check.h"
#include "path_parts.h"
#include "shown.h"
#include "windows_names.h"

namespace {

using medium::Broken;
using medium::NameRule;

std::string Times(std::size_t count, const std::string& piece)
{
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += piece;
    return out;
}

class InstallerRules : public ::testing::Test {
protected:
    // Windows compares names with the upcasing of the whole of Unicode, as medium_files does.
    static void SetUpTestSuite() { ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr); }
};

TEST_F(InstallerRules, EachNameFallsOnItsSideOfEachRule)
{
    const struct {
        std::string name;
        NameRule rule;
    } rows[] = {
        // Device names: the part before the first dot, its trailing spaces dropped, in any case.
        {"CON", NameRule::DeviceName},
        {"con.txt", NameRule::DeviceName},
        {"AUX  .txt", NameRule::DeviceName},
        {"nul.tar.gz", NameRule::DeviceName},
        {"CON.setup.log", NameRule::DeviceName},
        {"Prn.Log", NameRule::DeviceName},
        {"COM0", NameRule::DeviceName},
        {"lpt9.txt", NameRule::DeviceName},
        {"COM\u00B9", NameRule::DeviceName},
        {"lpt\u00B2.txt", NameRule::DeviceName},
        {"Com\u00B3.log", NameRule::DeviceName},
        {"CONIN$", NameRule::DeviceName},
        {"conout$.txt", NameRule::DeviceName},
        {"CONOUT$ .log", NameRule::DeviceName},
        {"COM\u2074", NameRule::None},
        {"COM10", NameRule::None},
        {"LPT", NameRule::None},
        {"bar.com9", NameRule::None},
        {"setup.con", NameRule::None},
        {"CONIN", NameRule::None},
        {"CONOUT$x.txt", NameRule::None},
        {"CON-1.txt", NameRule::None},
        {"xnul.txt", NameRule::None},
        // What Windows does not allow, one character a row; DEL and C1 it allows.
        {"a<b", NameRule::ForbiddenCharacter},
        {"a>b", NameRule::ForbiddenCharacter},
        {"a:b", NameRule::ForbiddenCharacter},
        {"a\"b", NameRule::ForbiddenCharacter},
        {"a\\b", NameRule::ForbiddenCharacter},
        {"a|b", NameRule::ForbiddenCharacter},
        {"a?b", NameRule::ForbiddenCharacter},
        {"a*b", NameRule::ForbiddenCharacter},
        {"a\x01" "b", NameRule::ControlCharacter},
        {"a\nb", NameRule::ControlCharacter},
        {"a\x1f", NameRule::ControlCharacter},
        {"a\x7f" "b", NameRule::None},
        {"a\u0085b", NameRule::None},
        {"a\u009bb", NameRule::None},
        {"#{}[]~!@$%^&()+=,`'", NameRule::None},
        // What Windows drops at the end, so that it reads another name.
        {"foo.", NameRule::TrailingDotOrSpace},
        {"foo ", NameRule::TrailingDotOrSpace},
        {"...", NameRule::TrailingDotOrSpace},
        {".hidden", NameRule::None},
        {" leading", NameRule::None},
        // What the image's Windows names (Joliet, UCS-2) cannot carry whole.
        {"a;1", NameRule::Semicolon},
        {"smile-\xf0\x9f\x98\x80.txt", NameRule::BeyondBmp},
        {"\xef\xbf\xbd", NameRule::None},
        {"\xe9", NameRule::NotUtf8},
        {"\xc0\xaf", NameRule::NotUtf8},
        {"\xed\xa0\x80", NameRule::NotUtf8},
        {"\xf4\x90\x80\x80", NameRule::NotUtf8},
        {"a\xe2\x82", NameRule::NotUtf8},
        {"", NameRule::Empty},
        // The longest name carried whole, counted in UTF-16 units, and one more.
        {Times(103, "n"), NameRule::None},
        {Times(104, "n"), NameRule::TooLong},
        {Times(103, "\u00e9"), NameRule::None},
        {Times(104, "\u00e9"), NameRule::TooLong},
        {Times(103, "\u6f22"), NameRule::None},
        {Times(104, "\u6f22"), NameRule::TooLong},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("name \"" + medium::Shown(row.name) + "\"");
        EXPECT_EQ(static_cast<int>(medium::RuleBroken(row.name)), static_cast<int>(row.rule));
        EXPECT_EQ(medium::WhyNotCarried(row.name).empty(), row.rule == NameRule::None);
    }
}

// What a name or path read from a medium must be before it is used at all, UTF-8 or not: no
// control byte, and each part of a path a name of its own, leading nowhere but below.
TEST_F(InstallerRules, AControlByteOrAPartThatIsNoNameIsFoundAnywhere)
{
    const struct {
        std::string text;
        bool control;
    } names[] = {
        {"setup.exe", false}, {"a b\x7f", false}, {"a\x1f", true}, {"\x01" "a", true}, {"\xff\x0a", true}, {"\xc3\xa4 \x20", false},
    };
    for (const auto& row : names)
        EXPECT_EQ(medium::HoldsControlByte(row.text), row.control) << medium::Shown(row.text);
    const struct {
        std::string path;
        bool names;
    } paths[] = {
        {"English/setup.exe", true}, {"a", true}, {"..a/b.", true}, {"a/...", true},
        {"", false}, {"/English", false}, {"English/", false}, {"English//a", false},
        {".", false}, {"./a", false}, {"English/..", false}, {"a/../b", false},
    };
    for (const auto& row : paths)
        EXPECT_EQ(medium::PartsAreNames(row.path), row.names) << medium::Shown(row.path);
}

TEST_F(InstallerRules, NamesAreOneInAnyCaseAsWindowsUpcasesThem)
{
    const struct {
        std::string a, b;
        bool one;
    } rows[] = {
        {"Data.cab", "data.CAB", true},
        {"\u00c4pfel", "\u00e4pfel", true},
        {"\u03a9mega", "\u03c9mega", true},
        {"\u042f\u0431", "\u044f\u0411", true},
        {"\u00ff", "\u0178", true},
        {"Apfel", "\u00c4pfel", false},
        {"stra\u00dfe", "STRASSE", false},
        {"a", "a ", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(medium::Shown(row.a) + " and " + medium::Shown(row.b));
        EXPECT_EQ(medium::CaseKey(*medium::Utf16(row.a)) == medium::CaseKey(*medium::Utf16(row.b)), row.one);
    }
}

// A vendor's folder made in a temporary folder, and what check finds in it.
class VendorFolder : public InstallerRules {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/installer-rules.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        top_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(top_); }

    void File(const std::string& path)
    {
        std::filesystem::create_directories(std::filesystem::path(top_ + "/" + path).parent_path());
        std::ofstream(top_ + "/" + path) << "a file\n";
    }
    // The problems of the folder as the English installer, and where they are, below the folder.
    std::vector<std::pair<Broken, std::string>> Problems()
    {
        medium::Problems problems;
        medium::CheckInstallers({{"English", top_}}, problems);
        std::vector<std::pair<Broken, std::string>> found;
        for (const medium::Problem& problem : problems.Kept())
            found.emplace_back(problem.rule, problem.path.substr(top_.size()));
        return found;
    }

    std::string top_;
};

std::string Described(const std::vector<std::pair<Broken, std::string>>& problems)
{
    std::string out;
    for (const auto& [rule, path] : problems)
        out += " [" + std::to_string(static_cast<int>(rule)) + " " + medium::Shown(path) + "]";
    return out.empty() ? " none" : out;
}

TEST_F(VendorFolder, NamesThatAreOneInAnyCaseAreRefusedAtAnyDepth)
{
    const struct {
        std::vector<std::string> files;
        std::vector<std::pair<Broken, std::string>> problems;
    } rows[] = {
        {{"Data.cab", "data.cab"}, {{Broken::CaseTwin, "/data.cab"}}},
        {{"Sub/\u00c4pfel.txt", "Sub/\u00e4pfel.txt"}, {{Broken::CaseTwin, "/Sub/\u00e4pfel.txt"}}},
        {{"A/B/C/D/readme", "A/B/C/D/README"}, {{Broken::CaseTwin, "/A/B/C/D/readme"}}},
        {{"A/b/x", "A/B/x"}, {{Broken::CaseTwin, "/A/b"}}},
        {{"Sub/Apfel.txt", "Sub/\u00c4pfel.txt", "Other/data.cab", "Sub/Data.cab"}, {}},
    };
    for (const auto& row : rows) {
        TearDown();
        SetUp();
        File("setup.exe");
        std::string made;
        for (const std::string& file : row.files) {
            File(file);
            made.append(" ").append(medium::Shown(file));
        }
        SCOPED_TRACE("files:" + made);
        const auto found = Problems();
        EXPECT_EQ(found, row.problems) << "found:" << Described(found) << "\nexpected:" << Described(row.problems);
    }
}

TEST_F(VendorFolder, TheLongestPathWindowsOpensIsTakenAndOneMoreRefused)
{
    // From the drive's root: "D:\English" is 10 units, and each name one more for its backslash.
    const std::string first = Times(100, "a"), second = Times(100, "b");
    const struct {
        std::string last;
        bool refused;
    } rows[] = {
        {Times(46, "c"), false},
        {Times(47, "c"), true},
        {Times(45, "c") + "\u00e9", false},
        {Times(46, "c") + "\u00e9", true},
    };
    for (const auto& row : rows) {
        TearDown();
        SetUp();
        File("setup.exe");
        const std::string path = first + "/" + second + "/" + row.last;
        File(path);
        SCOPED_TRACE(std::to_string(10 + 3 + 200 + medium::Utf16(row.last)->size()) + " units from the root");
        const auto found = Problems();
        const std::vector<std::pair<Broken, std::string>> expected =
            row.refused ? std::vector<std::pair<Broken, std::string>>{{Broken::PathTooLong, "/" + path}}
                        : std::vector<std::pair<Broken, std::string>>{};
        EXPECT_EQ(found, expected) << "found:" << Described(found);
    }
}

}  // namespace
