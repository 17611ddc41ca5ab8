// The launch logic against a recording fake shell: the table, the path rule, the request and the
// fixed sequence after a press.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launch_choice.h"
#include "launcher_directory.h"
#include "recording_shell.h"

namespace {

// Deterministic stand-in for the code page: keeps what fits in Latin-1, marks the rest with '?'.
std::string Latin1(std::wstring_view text)
{
    std::string out;
    for (wchar_t c : text)
        out += c <= 0xFF ? static_cast<char>(c) : '?';
    return out;
}

TEST(LanguageTable, HoldsTheThreeButtonsInStoredOrderWithExactSuffixes)
{
    ASSERT_EQ(kLanguageChoices.size(), 3u);
    const std::wstring_view expected[3][3] = {
        {L"Command1", L"English", L"\\English\\setup.exe"},
        {L"Command2", L"German", L"\\German\\setup.exe"},
        {L"Command3", L"French", L"\\French\\setup.exe"},
    };
    const size_t suffixLengths[3] = {18, 17, 17};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(kLanguageChoices[i].controlName, expected[i][0]);
        EXPECT_EQ(kLanguageChoices[i].caption, expected[i][1]);
        EXPECT_EQ(kLanguageChoices[i].pathSuffix, expected[i][2]);
        EXPECT_EQ(kLanguageChoices[i].pathSuffix.size(), suffixLengths[i]);
        EXPECT_EQ(ChoiceForControl(expected[i][0]), &kLanguageChoices[i]);
    }
    EXPECT_EQ(ChoiceForControl(L"Label1"), nullptr);
    EXPECT_EQ(ChoiceForControl(L"command1"), nullptr);
    EXPECT_EQ(ChoiceForControl(L""), nullptr);
}

TEST(SetupPath, JoinsDirectoryAndSuffixWithoutTouchingSeparators)
{
    const LanguageChoice& german = kLanguageChoices[1];
    EXPECT_EQ(ComposeSetupPath(L"D:\\media", german), L"D:\\media\\German\\setup.exe");
    EXPECT_EQ(ComposeSetupPath(L"E:\\", german), L"E:\\\\German\\setup.exe");
    EXPECT_EQ(ComposeSetupPath(L"\\\\server\\share\\disc 1", kLanguageChoices[0]),
              L"\\\\server\\share\\disc 1\\English\\setup.exe");
    EXPECT_EQ(ComposeSetupPath(L"C:\\a\\", kLanguageChoices[2]), L"C:\\a\\\\French\\setup.exe");
}

TEST(LauncherDirectory, CutsAtTheLastBackslashKeepingItOnlyAfterABareDrive)
{
    const struct {
        std::wstring_view path, directory;
    } cases[] = {
        {L"E:\\Project1.exe", L"E:\\"},
        {L"e:\\Project1.exe", L"e:\\"},
        {L"D:\\media\\Project1.exe", L"D:\\media"},
        {L"D:\\a\\b\\c\\Project1.exe", L"D:\\a\\b\\c"},
        {L"\\\\server\\share\\Project1.exe", L"\\\\server\\share"},
        {L"\\\\?\\D:\\Project1.exe", L"\\\\?\\D:"},
        {L"1:\\Project1.exe", L"1:"},
        {L"Project1.exe", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
        EXPECT_EQ(LauncherDirectoryFromPath(c.path), c.directory);
    }
}

TEST(LaunchRequest, OpensThePathWithEmptyArgumentsAndShowCommand5)
{
    const LaunchRequest request = BuildLaunchRequest(0x1234, L"D:\\caf\u00e9\\French\\setup.exe", Latin1);
    EXPECT_EQ(request.ownerWindow, 0x1234u);
    EXPECT_EQ(request.operation, "open");
    EXPECT_EQ(request.file, "D:\\caf\xe9\\French\\setup.exe");
    EXPECT_EQ(request.parameters, "");
    EXPECT_EQ(request.directory, "");
    // Empty strings, not absent ones: the shell call gets pointers to "" for both.
    EXPECT_NE(request.parameters.c_str(), nullptr);
    EXPECT_EQ(request.showCommand, 5);
}

using Calls = std::vector<std::string>;

TEST(LaunchSequence, MakesExactlyOneRequestThenEndsWhateverTheShellAnswers)
{
    for (std::intptr_t result : {std::intptr_t{42}, std::intptr_t{33}, std::intptr_t{32}, std::intptr_t{2},
                                 std::intptr_t{0}, std::intptr_t{-1}}) {
        SCOPED_TRACE(result);
        RecordingShell shell;
        shell.result = result;
        LaunchSequence(shell, Latin1).LaunchChoice(kLanguageChoices[1]);
        EXPECT_EQ(shell.calls, (Calls{"OwnerWindow", "LauncherDirectory", "ShellLaunch", "EndProgram"}));
        ASSERT_EQ(shell.requests.size(), 1u);
        EXPECT_EQ(shell.requests[0], (LaunchRequest{0xBEEF, "open", "D:\\media\\German\\setup.exe", "", "", 5}));
    }
}

TEST(LaunchSequence, EachChoiceRequestsItsOwnSetupProgramFromADriveRoot)
{
    const char* expected[] = {"E:\\\\English\\setup.exe", "E:\\\\German\\setup.exe", "E:\\\\French\\setup.exe"};
    for (size_t i = 0; i < 3; ++i) {
        RecordingShell shell;
        shell.directory = L"E:\\";
        LaunchSequence(shell, Latin1).LaunchChoice(*ChoiceForControl(kLanguageChoices[i].controlName));
        ASSERT_EQ(shell.requests.size(), 1u);
        EXPECT_EQ(shell.requests[0].file, expected[i]);
    }
}

TEST(LaunchSequence, AFailingQueryIsFatalAndMakesNoRequest)
{
    RecordingShell noWindow;
    noWindow.owner.reset();
    LaunchSequence(noWindow, Latin1).LaunchChoice(kLanguageChoices[2]);
    EXPECT_EQ(noWindow.calls, (Calls{"OwnerWindow", "ReportFatalError"}));
    EXPECT_FALSE(noWindow.fatalMessage.empty());

    RecordingShell noDirectory;
    noDirectory.directory.reset();
    LaunchSequence(noDirectory, Latin1).LaunchChoice(kLanguageChoices[2]);
    EXPECT_EQ(noDirectory.calls, (Calls{"OwnerWindow", "LauncherDirectory", "ReportFatalError"}));
    EXPECT_TRUE(noDirectory.requests.empty());
}

TEST(LaunchSequence, PressesAfterTheFirstAreIgnoredEvenWhileTheShellIsBusy)
{
    // The shell runs the window's messages while it works, so presses re-enter the sequence
    // from inside the request.
    RecordingShell shell;
    LaunchSequence sequence(shell, Latin1);
    shell.duringLaunch = [&] {
        sequence.LaunchChoice(kLanguageChoices[2]);
        sequence.LaunchChoice(kLanguageChoices[1]);
    };
    sequence.LaunchChoice(kLanguageChoices[1]);
    sequence.LaunchChoice(kLanguageChoices[0]);  // this fake's EndProgram returns
    EXPECT_EQ(shell.calls, (Calls{"OwnerWindow", "LauncherDirectory", "ShellLaunch", "EndProgram"}));
    ASSERT_EQ(shell.requests.size(), 1u);
    EXPECT_EQ(shell.requests[0].file, "D:\\media\\German\\setup.exe");

    // A press after a fatal report (the box runs the window's messages too) tries nothing again.
    RecordingShell noWindow;
    noWindow.owner.reset();
    LaunchSequence failed(noWindow, Latin1);
    failed.LaunchChoice(kLanguageChoices[2]);
    failed.LaunchChoice(kLanguageChoices[2]);
    EXPECT_EQ(noWindow.calls, (Calls{"OwnerWindow", "ReportFatalError"}));
}

}  // namespace
