// The Win32 half of a launch, run for real: the launcher directory from where the program lies,
// the code-page conversion, and the shell binding with its failures and its defences.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string_view>
#include <vector>

#include "ansi_win32.h"
#include "dll_search_win32.h"
#include "module_path_win32.h"
#include "probe.h"
#include "support.h"

namespace {

// This program, copied to where a launcher would lie (once).
void PlaceProbeCopy(const fs::path& copy)
{
    fs::create_directories(copy.parent_path());
    if (!fs::exists(copy))
        CopyAfresh(ThisExecutable(), copy);
}

// Runs a copy of this program with the probe arguments, from a current directory that is not
// the medium.
long RunProbeCopy(const fs::path& copy, const std::wstring& arguments, const fs::path& currentDirectory)
{
    PlaceProbeCopy(copy);
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
    if (GetACP() != 1252)
        GTEST_SKIP() << "this Windows's ANSI code page is " << GetACP() << "; the expected bytes are those of 1252, the Western one";
    EXPECT_EQ(ToAnsiCodePage(L"D:\\caf\u00e9\\French\\setup.exe"), "D:\\caf\xe9\\French\\setup.exe");
    EXPECT_EQ(ToAnsiCodePage(L""), "");
    // Best fit would give "C:\\media\\Cd", a real folder that may hold another program.
    const std::string unrepresentable = ToAnsiCodePage(L"C:\\media\\\u0108d");
    EXPECT_EQ(unrepresentable, "C:\\media\\?d");
    EXPECT_EQ(unrepresentable.find("Cd"), std::string::npos);
}

TEST(LauncherDirectoryFromItsPlace, IsTheFolderWithoutBackslashInASubfolder)
{
    const fs::path media = FreshScratch("subfolder") / L"medium";
    EXPECT_EQ(DirectoryReportedFrom(media / L"Project1.exe"), Utf8(media.wstring()));
}

TEST(LauncherDirectoryFromItsPlace, KeepsTheBackslashAtADriveRoot)
{
    const DriveRoot drive(FreshScratch("driveroot"));
    ASSERT_FALSE(drive.Root().empty()) << "no drive letter was free to map";
    EXPECT_EQ(DirectoryReportedFrom(drive.Root() / L"Project1.exe"), Utf8(drive.Root().wstring()));
}

TEST(LauncherDirectoryFromItsPlace, ExecutablePathIsWholeWhateverTheFirstBufferHolds)
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

// Launches a button's setup program from a probe copy in `medium`, started in `elsewhere`, with
// the shell bound as on the Windows named (see probe.h).
struct LaunchOutcome {
    long exitCode;
    std::string shellResult;          // "" when the program ended before the shell answered
    std::string record;               // what the stand-in setup programs recorded
    std::vector<Process::Box> boxes;  // the message boxes the probe showed
};

LaunchOutcome LaunchFrom(const fs::path& medium, const wchar_t* exeName, const wchar_t* control, const fs::path& elsewhere,
                         bool expectStart, const wchar_t* windows = L"this")
{
    const fs::path result = elsewhere / L"shell-result.txt";
    const fs::path record = elsewhere / L"record.txt";
    fs::remove(result);
    fs::remove(record);
    SetEnvironmentVariableW(L"STANDIN_RECORD", record.c_str());
    const fs::path copy = medium / exeName;
    PlaceProbeCopy(copy);
    LaunchOutcome outcome{};
    Process probe(copy, L"--launch " + std::wstring(windows) + L" " + control + L" \"" + result.wstring() + L"\"", elsewhere);
    EXPECT_TRUE(probe.Started()) << Utf8(copy.wstring()) << " error " << GetLastError();
    outcome.exitCode = probe.WaitForExitClosingBoxes(outcome.boxes);
    const bool fatal = std::any_of(outcome.boxes.begin(), outcome.boxes.end(), [](const Process::Box& box) { return box.caption == L"Project1"; });
    if (expectStart && !fatal) {
        EXPECT_TRUE(WaitForSetupStart(record)) << kNoSetupStart;
    }
    outcome.shellResult = ReadText(result);
    outcome.record = ReadText(record);
    return outcome;
}

// The launch reported no fatal error, and the shell's boxes about a failed request (Windows
// shows them) belong to the window that asked: the probe's.
void ExpectNoFatalErrorAndOwnedShellBoxes(const LaunchOutcome& outcome)
{
    for (const Process::Box& box : outcome.boxes) {
        EXPECT_NE(box.caption, L"Project1") << "the launch failed: " << Utf8(box.text);
        EXPECT_NE(box.owner, nullptr) << "the shell's box has no owner window: " << Utf8(box.text);
    }
}

TEST(ShellBinding, StartsTheChosenSetupProgramInTheLaunchersCurrentDirectory)
{
    const fs::path scratch = FreshScratch("shell");
    const fs::path medium = scratch / L"medium";
    LayOutLanguageFolders(medium, {L"English", L"German", L"French"});

    // On this Windows, and bound as on one whose loader refuses the search flags.
    for (const wchar_t* windows : {L"this", L"old"}) {
        SCOPED_TRACE(Utf8(windows));
        const LaunchOutcome outcome = LaunchFrom(medium, L"Project1.exe", L"Command2", scratch, true, windows);
        ExpectNoFatalErrorAndOwnedShellBoxes(outcome);
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_GT(std::stol("0" + outcome.shellResult), 32) << outcome.shellResult;
        EXPECT_EQ(CountRecords(outcome.record), 1) << outcome.record;
        EXPECT_EQ(RecordField(outcome.record, "path"), Utf8((medium / L"German\\setup.exe").wstring()));
        EXPECT_EQ(RecordField(outcome.record, "cwd"), Utf8(scratch.wstring()));
        EXPECT_EQ(RecordField(outcome.record, "show"), "5");
    }
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
    ExpectNoFatalErrorAndOwnedShellBoxes(outcome);
}

TEST(ShellBinding, ALookalikeFolderIsNeverStartedInPlaceOfTheLaunchersOwn)
{
    // The launcher lies in "Ĉd", which code page 1252 cannot hold; "Cd" beside it holds a
    // decoy that best-fit conversion would start.
    const fs::path scratch = FreshScratch("decoy");
    LayOutLanguageFolders(scratch / L"Cd", {L"French"});
    const fs::path medium = scratch / L"\u0108d";

    const LaunchOutcome outcome = LaunchFrom(medium, L"Project1.exe", L"Command3", scratch, false);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_LE(std::stol("0" + outcome.shellResult), 32);
    EXPECT_EQ(outcome.record, "") << "the decoy was started";
    ExpectNoFatalErrorAndOwnedShellBoxes(outcome);
}

TEST(ShellBinding, AMissingShellIsReportedInABoxCaptionedProject1)
{
    // The probe's loader finds no shell32.dll, as no Windows lets a test take it away.
    const fs::path scratch = FreshScratch("noshell");
    const fs::path medium = scratch / L"medium";
    LayOutLanguageFolders(medium, {L"French"});
    PlaceProbeCopy(medium / L"noshell.exe");
    const fs::path result = scratch / L"shell-result.txt";
    const fs::path record = scratch / L"record.txt";
    SetEnvironmentVariableW(L"STANDIN_RECORD", record.c_str());

    Process probe(medium / L"noshell.exe", L"--launch no-shell32 Command3 \"" + result.wstring() + L"\"", scratch);
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = FindProcessWindow(probe.Id(), L"#32770", L"Project1")) != nullptr; }))
        << "no box captioned Project1";
    wchar_t text[512] = {};
    GetDlgItemTextW(box, 0xFFFF, text, static_cast<int>(std::size(text)));
    EXPECT_NE(std::wstring(text).find(L"shell32.dll"), std::wstring::npos) << Utf8(text);
    EXPECT_NE(probe.WaitForExit(1000), 0) << "the program ended before the box was dismissed";

    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(probe.WaitForExit(), 0);
    EXPECT_EQ(ReadText(result), "") << "the request was made";
    EXPECT_EQ(ReadText(record), "");
}

TEST(MarkOfTheWeb, NoCopyThatTheTestsMakeCarriesItOver)
{
    // What the shell starts for a test (the setup stand-in as setup.exe) is a copy of a kit's
    // file, and a kit unpacked from a downloaded archive has the mark on each: a copy that kept
    // it would meet the shell's security warning.
    const fs::path scratch = FreshScratch("mark");
    DWORD flags = 0;
    GetVolumeInformationW(scratch.root_path().c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0);
    if (!(flags & FILE_NAMED_STREAMS))
        GTEST_SKIP() << "the file system of " << Utf8(scratch.root_path().wstring())
                     << " keeps no alternate data streams (Wine's and FAT's never do), so no file there carries the mark";
    const auto mark = [](const fs::path& file) { return fs::path(file.wstring() + L":Zone.Identifier"); };
    const fs::path marked = scratch / L"downloaded.exe", copy = scratch / L"setup.exe";
    CopyAfresh(BinDirectory() / L"setup_standin.exe", marked);
    std::ofstream(mark(marked), std::ios::binary) << "[ZoneTransfer]\r\nZoneId=3\r\n";
    ASSERT_NE(ReadText(mark(marked)), "") << "no mark could be put on " << Utf8(marked.wstring());
    CopyAfresh(marked, copy);
    EXPECT_EQ(ReadText(mark(copy)), "") << "the copy carries the mark of the web of the file it was copied from";
}

// Asks a probe copy lying in `folder` to load a DLL; true when it was loaded.
bool ProbeLoads(const fs::path& folder, const wchar_t* windows, const wchar_t* how, const wchar_t* name,
                const fs::path& currentDirectory)
{
    return RunProbeCopy(folder / L"planted.exe", std::wstring(L"--load ") + windows + L" " + how + L" " + name,
                        currentDirectory) == 0;
}

TEST(DllSearch, APlantedDllIsNeverLoadedInPlaceOfTheSystems)
{
    const fs::path scratch = FreshScratch("planted");
    const fs::path medium = scratch / L"medium";
    LayOutLanguageFolders(medium, {L"French"});
    const fs::path mark = scratch / L"planted-mark.txt";
    SetEnvironmentVariableW(L"PLANTED_DLL_MARK", mark.c_str());
    // A DLL beside the program: a careless load takes it.
    const wchar_t* const kPlanted = PlantDll(medium);
    ASSERT_TRUE(ProbeLoads(medium, L"this", L"plainly", kPlanted, scratch)) << "the planted DLL was not loadable, so this test proves nothing";

    // Each defence on its own, so that neither hides the other's absence. The binding, without
    // the program-wide restriction, as on a Windows with the search flags and one without them.
    EXPECT_FALSE(ProbeLoads(medium, L"this", L"system", kPlanted, scratch)) << "the binding took the DLL beside the program";
    EXPECT_FALSE(ProbeLoads(medium, L"old", L"system", kPlanted, scratch)) << "as on older Windows, the binding took the DLL beside the program";
    // The restriction; where SetDefaultDllDirectories is missing, the program's own folder stays in.
    if (Kernel32Export("SetDefaultDllDirectories")) {
        EXPECT_FALSE(ProbeLoads(medium, L"this", L"restricted", kPlanted, scratch)) << "the restricted search took the DLL beside the program";
    }

    // A shell32.dll beside the program. Windows never takes one from there, shell32 being one of
    // its known DLLs; Wine does when told to prefer a native one, which shows the binding at work.
    CopyAfresh(StandInShell32(), medium / L"shell32.dll");
    fs::remove(mark);
    if (WineMeansAvailable()) {
        SetDllOverride(L"planted.exe", L"shell32", L"native,builtin");
        EXPECT_TRUE(ProbeLoads(medium, L"this", L"plainly", L"shell32.dll", scratch));
        ASSERT_NE(ReadText(mark), "") << "the planted shell32.dll was not loadable, so this test proves nothing";
        fs::remove(mark);
    }
    for (const wchar_t* windows : {L"this", L"old"}) {
        SCOPED_TRACE(Utf8(windows));
        const LaunchOutcome outcome = LaunchFrom(medium, L"planted.exe", L"Command3", scratch, true, windows);
        ExpectNoFatalErrorAndOwnedShellBoxes(outcome);
        EXPECT_EQ(ReadText(mark), "") << "the shell binding loaded the planted shell32.dll";
        EXPECT_EQ(CountRecords(outcome.record), 1) << "the system's shell did not start the setup program";
        fs::remove(mark);
    }
    if (WineMeansAvailable())
        ClearAppDefaults(L"planted.exe");
}

// An older Windows's kernel32, recording what the start and the binding ask of it: the DLL
// directories it is given (instead of setting them), and the libraries it is asked to load.
std::vector<std::wstring> dllDirectoriesGiven;
struct LoadAsked {
    std::wstring name;
    DWORD flags;
};
std::vector<LoadAsked> loadsAsked;
BOOL WINAPI RecordingSetDllDirectoryW(LPCWSTR directory)
{
    dllDirectoriesGiven.push_back(directory ? directory : L"<null>");
    return TRUE;
}
HMODULE WINAPI RecordingLoadLibraryExW(LPCWSTR name, HANDLE file, DWORD flags)
{
    loadsAsked.push_back({name, flags});
    return FunctionOf<decltype(&LoadLibraryExW)>(OldKernel32Export("LoadLibraryExW"))(name, file, flags);
}
FARPROC RecordingOldKernel32Export(const char* name)
{
    const std::string_view wanted(name);
    if (wanted == "SetDllDirectoryW")
        return AsExport(RecordingSetDllDirectoryW);
    return wanted == "LoadLibraryExW" ? AsExport(RecordingLoadLibraryExW) : OldKernel32Export(name);
}

TEST(DllSearch, OnOlderWindowsTheCurrentFolderLeavesTheSearch)
{
    // Where SetDefaultDllDirectories is missing, the start takes the current folder out of the
    // search with an empty DLL directory.
    dllDirectoriesGiven.clear();
    RestrictDllSearchToSystem(RecordingOldKernel32Export);
    EXPECT_EQ(dllDirectoriesGiven, std::vector<std::wstring>{L""});

    // A DLL in the folder the program was started from, not its own, is then not found. Wine's
    // loader keeps the current folder in the search whatever the DLL directory, so only Windows
    // shows this.
    if (IsWine())
        return;
    const fs::path scratch = FreshScratch("currentfolder");
    const fs::path program = scratch / L"medium", current = scratch / L"current";
    const wchar_t* const kPlanted = PlantDll(current);
    ASSERT_TRUE(ProbeLoads(program, L"this", L"plainly", kPlanted, current)) << "the current folder is not searched anyway, so this proves nothing";
    EXPECT_FALSE(ProbeLoads(program, L"old", L"restricted", kPlanted, current)) << "the restricted search took the DLL in the current folder";
}

// The first DLL that the system's shell32 imports which a namesake planted beside a program could
// stand in for: not one of the known DLLs (Windows takes those from the system folder alone), no
// API set, and not loaded in this program already. Empty where there is none, or where Windows
// cannot map a DLL as an image without loading it (before Vista).
std::wstring PlantableImportOfShell32()
{
    const HMODULE mapped = LoadLibraryExW((SystemFolder() / L"shell32.dll").c_str(), nullptr,
                                          LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!mapped)
        return {};
    const auto* image = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(mapped) & ~ULONG_PTR(3));
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew);
    const DWORD imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    HKEY known = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs", 0, KEY_READ, &known);
    const auto isKnown = [&](const std::string& dll) {
        char value[256], data[MAX_PATH];
        for (DWORD i = 0;; ++i) {
            DWORD valueLength = std::size(value), dataLength = sizeof data - 1;
            if (!known || RegEnumValueA(known, i, value, &valueLength, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &dataLength) != ERROR_SUCCESS)
                return false;
            data[dataLength] = '\0';
            if (_stricmp(data, dll.c_str()) == 0)
                return true;
        }
    };
    std::wstring found;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image + imports); imports && entry->Name && found.empty(); ++entry) {
        const std::string dll = reinterpret_cast<const char*>(image + entry->Name);
        const std::wstring wide(dll.begin(), dll.end());
        if (_strnicmp(dll.c_str(), "api-ms-", 7) != 0 && _strnicmp(dll.c_str(), "ext-ms-", 7) != 0 && !isKnown(dll) && !GetModuleHandleW(wide.c_str()))
            found = wide;
    }
    if (known)
        RegCloseKey(known);
    FreeLibrary(mapped);
    return found;
}

TEST(DllSearch, OnOlderWindowsShell32IsLoadedByItsFullPathWithItsOwnFolderSearchedFirst)
{
    // Where the search flags are missing, the binding names shell32 by its full path in the system
    // folder, with the altered search order: the DLLs that shell32 imports are then looked for
    // beside it, in the system folder, before the launcher's folder.
    loadsAsked.clear();
    EXPECT_NE(LoadSystemLibrary(L"shell32.dll", RecordingOldKernel32Export), nullptr);
    ASSERT_EQ(loadsAsked.size(), 1u);
    EXPECT_EQ(Utf8(loadsAsked[0].name), Utf8((SystemFolder() / L"shell32.dll").wstring()));
    EXPECT_EQ(loadsAsked[0].flags, DWORD(LOAD_WITH_ALTERED_SEARCH_PATH)) << "shell32's imports would be looked for beside the launcher first";
}

TEST(DllSearch, OnOlderWindowsNoNamesakeOfWhatShell32ImportsIsTakenFromBesideTheProgram)
{
    // The effect of that search order: a namesake of a DLL that shell32 imports, planted beside a
    // program that binds shell32 as on an older Windows, is not loaded.
    if (IsWine())
        GTEST_SKIP() << "Wine takes its own built-in DLLs for what shell32 imports, wherever a namesake lies, so only Windows shows "
                        "the effect of the search order";
    if (GetModuleHandleW(L"shell32.dll"))
        GTEST_SKIP() << "this Windows loads shell32 into every program at its start, so no binding of it loads its imports";
    const std::wstring imported = PlantableImportOfShell32();
    if (imported.empty())
        GTEST_SKIP() << "this Windows's shell32 imports no DLL that a namesake beside a program could stand in for";
    const fs::path scratch = FreshScratch("shell32imports"), medium = scratch / L"medium", mark = scratch / L"planted-mark.txt";
    PlantDll(medium, imported.c_str());
    SetEnvironmentVariableW(L"PLANTED_DLL_MARK", mark.c_str());
    ProbeLoads(medium, L"this", L"plainly", imported.c_str(), scratch);
    if (ReadText(mark) == "")
        GTEST_SKIP() << "a load by name does not find the planted " << Utf8(imported) << ", so the effect cannot be shown with it";
    fs::remove(mark);
    EXPECT_TRUE(ProbeLoads(medium, L"old", L"system", L"shell32.dll", scratch)) << "shell32 was not loaded";
    EXPECT_EQ(ReadText(mark), "") << "binding shell32 loaded the " << Utf8(imported) << " planted beside the program";
    SetEnvironmentVariableW(L"PLANTED_DLL_MARK", nullptr);
}

}  // namespace
