// The Win32 half of a launch, run for real under Wine: the launcher directory from where the
// program lies, the code-page conversion, and the shell binding with its failures.

#include <gtest/gtest.h>

#include "support.h"
#include "window/ansi_win32.h"
#include "window/module_path_win32.h"

namespace {

// Copies this program to the given path and runs it there with the probe arguments, from a
// current directory that is not the medium.
long RunProbeCopy(const fs::path& copy, const std::wstring& arguments, const fs::path& currentDirectory)
{
    fs::create_directories(copy.parent_path());
    if (!fs::exists(copy))
        fs::copy_file(ThisExecutable(), copy);
    Process probe(copy, arguments, currentDirectory);
    EXPECT_TRUE(probe.Started()) << Utf8(copy.wstring()) << " error " << GetLastError();
    return probe.WaitForExit();
}

std::string DirectoryReportedFrom(const fs::path& copy)
{
    const fs::path out = fs::current_path() / L"directory.txt";
    fs::remove(out);
    EXPECT_EQ(RunProbeCopy(copy, L"--report-directory \"" + out.wstring() + L"\"", fs::current_path()), 0);
    return ReadText(out);
}

TEST(AnsiCodePage, KeepsWhatTheCodePageHoldsAndReplacesTheRestWithoutLookalikes)
{
    ASSERT_EQ(GetACP(), 1252u) << "the tests expect the Western code page";
    EXPECT_EQ(ToAnsiCodePage(L"D:\\caf\u00e9\\French\\setup.exe"), "D:\\caf\xe9\\French\\setup.exe");
    EXPECT_EQ(ToAnsiCodePage(L""), "");
    // Best fit would give "C:\\media\\Cd", a real folder that may hold another program.
    const std::string unrepresentable = ToAnsiCodePage(L"C:\\media\\\u0108d");
    EXPECT_EQ(unrepresentable, "C:\\media\\?d");
    EXPECT_EQ(unrepresentable.find("Cd"), std::string::npos);
}

TEST(LauncherDirectoryUnderWine, IsTheFolderWithoutBackslashInASubfolder)
{
    const fs::path media = FreshScratch("subfolder") / L"medium";
    EXPECT_EQ(DirectoryReportedFrom(media / L"Project1.exe"), Utf8(media.wstring()));
}

TEST(LauncherDirectoryUnderWine, KeepsTheBackslashAtADriveRoot)
{
    // M: is the session's drive, mapped onto a folder of the build.
    fs::remove(L"M:\\Project1.exe");
    EXPECT_EQ(DirectoryReportedFrom(L"M:\\Project1.exe"), "M:\\");
    fs::remove(L"M:\\Project1.exe");
}

TEST(LauncherDirectoryUnderWine, ExecutablePathIsWholeWhateverTheFirstBufferHolds)
{
    // Wine cannot start a program from beyond 260 characters, so the growing buffer is checked
    // in place: a first buffer shorter than the path, exactly as long, and one longer.
    std::wstring whole(32768, L'\0');
    whole.resize(GetModuleFileNameW(nullptr, whole.data(), static_cast<DWORD>(whole.size())));
    const unsigned long length = static_cast<unsigned long>(whole.size());
    for (unsigned long capacity : {1ul, 7ul, length - 1, length, length + 1, 260ul}) {
        SCOPED_TRACE(capacity);
        EXPECT_EQ(ExecutablePath(capacity), whole);
    }
}

// Launches a button's setup program from a probe copy in `medium`, started in `elsewhere`.
struct LaunchOutcome {
    long exitCode;
    std::string shellResult;  // "" when the program ended before the shell answered
    std::string record;       // what the stand-in setup programs recorded
};

LaunchOutcome LaunchFrom(const fs::path& medium, const wchar_t* exeName, const wchar_t* control, const fs::path& elsewhere,
                         bool expectStart, const wchar_t* mode = L"--launch")
{
    const fs::path result = elsewhere / L"shell-result.txt";
    const fs::path record = elsewhere / L"record.txt";
    fs::remove(result);
    fs::remove(record);
    SetEnvironmentVariableW(L"STANDIN_RECORD", record.c_str());
    const long exitCode = RunProbeCopy(medium / exeName, std::wstring(mode) + L" " + control + L" \"" + result.wstring() + L"\"", elsewhere);
    if (expectStart)
        WaitFor([&] { return ReadText(record).find("end\n") != std::string::npos; });
    return {exitCode, ReadText(result), ReadText(record)};
}

TEST(ShellBinding, StartsTheChosenSetupProgramInTheLaunchersCurrentDirectory)
{
    const fs::path scratch = FreshScratch("shell");
    const fs::path medium = scratch / L"medium";
    LayOutLanguageFolders(medium, {L"English", L"German", L"French"});

    const LaunchOutcome outcome = LaunchFrom(medium, L"Project1.exe", L"Command2", scratch, true);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_GT(std::stol("0" + outcome.shellResult), 32) << outcome.shellResult;
    EXPECT_EQ(CountStarts(outcome.record), 1) << outcome.record;
    EXPECT_EQ(RecordField(outcome.record, "path"), Utf8((medium / L"German\\setup.exe").wstring()));
    EXPECT_EQ(RecordField(outcome.record, "cwd"), Utf8(scratch.wstring()));
    EXPECT_EQ(RecordField(outcome.record, "show"), "5");
}

TEST(ShellBinding, AFailedRequestStillEndsTheProgramAndStartsNothing)
{
    const fs::path scratch = FreshScratch("missing");
    const fs::path medium = scratch / L"medium";
    LayOutLanguageFolders(medium, {L"English", L"German"});  // no French

    const LaunchOutcome outcome = LaunchFrom(medium, L"Project1.exe", L"Command3", scratch, false);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_LE(std::stol("0" + outcome.shellResult), 32);
    EXPECT_EQ(outcome.record, "");
}

TEST(ShellBinding, ALookalikeFolderIsNeverStartedInPlaceOfTheLaunchersOwn)
{
    // The launcher lies in "Ĉd", which code page 1252 cannot hold; "Cd" beside it holds a
    // decoy that best-fit conversion would start.
    const fs::path scratch = FreshScratch("decoy");
    LayOutLanguageFolders(scratch / L"Cd", {L"French"});
    const fs::path medium = scratch / L"\u0108d";
    fs::create_directories(medium);

    const LaunchOutcome outcome = LaunchFrom(medium, L"Project1.exe", L"Command3", scratch, false);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_LE(std::stol("0" + outcome.shellResult), 32);
    EXPECT_EQ(outcome.record, "") << "the decoy was started";
}

TEST(ShellBinding, AMissingShellIsReportedInABoxCaptionedProject1)
{
    const fs::path scratch = FreshScratch("noshell");
    const fs::path medium = scratch / L"medium";
    LayOutLanguageFolders(medium, {L"French"});
    fs::copy_file(ThisExecutable(), medium / L"noshell.exe");
    SetDllOverride(L"noshell.exe", L"shell32", L"");  // disabled for this program alone
    const fs::path result = scratch / L"shell-result.txt";
    const fs::path record = scratch / L"record.txt";
    SetEnvironmentVariableW(L"STANDIN_RECORD", record.c_str());

    Process probe(medium / L"noshell.exe", L"--launch Command3 \"" + result.wstring() + L"\"", scratch);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindProcessWindow(probe.Id(), L"#32770", L"Project1")) != nullptr; }))
        << "no box captioned Project1";
    wchar_t text[512] = {};
    GetDlgItemTextW(box, 0xFFFF, text, static_cast<int>(std::size(text)));
    EXPECT_NE(std::wstring(text).find(L"shell32.dll"), std::wstring::npos) << Utf8(text);
    EXPECT_NE(probe.WaitForExit(1000), 0) << "the program ended before the box was dismissed";

    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(probe.WaitForExit(), 0);
    ClearAppDefaults(L"noshell.exe");
    EXPECT_EQ(ReadText(result), "") << "the request was made";
    EXPECT_EQ(ReadText(record), "");
}

TEST(ShellBinding, AShell32BesideTheLauncherIsNeverLoaded)
{
    const fs::path scratch = FreshScratch("planted");
    const fs::path medium = scratch / L"medium";
    LayOutLanguageFolders(medium, {L"French"});
    fs::copy_file(BinDirectory().parent_path() / L"standin\\shell32.dll", medium / L"shell32.dll");
    const fs::path mark = scratch / L"planted-mark.txt";
    SetEnvironmentVariableW(L"PLANTED_DLL_MARK", mark.c_str());
    // Wine would otherwise prefer its own shell32 whatever lies beside the program.
    SetDllOverride(L"planted.exe", L"shell32", L"native,builtin");

    // First, that the planted DLL is taken by a program that loads shell32 without care.
    EXPECT_EQ(RunProbeCopy(medium / L"planted.exe", L"--load-shell32-plainly", scratch), 0);
    ASSERT_NE(ReadText(mark), "") << "the planted DLL was not loadable, so this test proves nothing";
    fs::remove(mark);

    // Then each defence on its own, so that neither hides the other's absence: the program-wide
    // restriction before a careless load, and the shell binding without the restriction, as on a
    // Windows with the search flags and as on one without them.
    EXPECT_EQ(RunProbeCopy(medium / L"planted.exe", L"--restrict-then-load-shell32-plainly", scratch), 0);
    EXPECT_EQ(ReadText(mark), "") << "the restricted search loaded the planted shell32.dll";
    fs::remove(mark);
    for (const wchar_t* mode : {L"--launch", L"--launch-on-old-windows"}) {
        SCOPED_TRACE(Utf8(mode));
        const LaunchOutcome outcome = LaunchFrom(medium, L"planted.exe", L"Command3", scratch, true, mode);
        EXPECT_EQ(ReadText(mark), "") << "the shell binding loaded the planted shell32.dll";
        EXPECT_EQ(CountStarts(outcome.record), 1) << "the system's shell did not start the setup program";
        fs::remove(mark);
    }
    ClearAppDefaults(L"planted.exe");
}

}  // namespace
