#pragma once
// Helpers for tests that lay out folders, start programs of the build under Wine and wait for
// what they leave behind.

#include <windows.h>

#include <filesystem>
#include <string>

#include "tools/desktop/desktop.h"

namespace fs = std::filesystem;

// The folder of the running test program: the build's bin/ with every program it starts.
fs::path BinDirectory();
fs::path ThisExecutable();
// The same path in the form that file functions take beyond MAX_PATH.
fs::path ExtendedLength(const fs::path& path);
// An empty folder for one test, under the test run's scratch folder.
fs::path FreshScratch(std::string name);
// Removes everything inside the folder (a drive root too) and keeps the folder.
void EmptyFolder(const fs::path& folder);
// Lays out a medium: each named language folder gets the recording stand-in as setup.exe.
void LayOutLanguageFolders(const fs::path& medium, std::initializer_list<const wchar_t*> languages);

class Process {
public:
    Process(const fs::path& exe, const std::wstring& arguments, const fs::path& currentDirectory);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }
    bool Started() const { return info_.hProcess != nullptr; }
    // The exit code, or -1 when it has not ended within the timeout.
    long WaitForExit(DWORD timeoutMs = 60000);

private:
    PROCESS_INFORMATION info_{};
};

// Has the running process load the DLL, through a thread of its own that calls LoadLibraryW:
// a stand-in put in place before the program looks for a DLL of that name. False when it was
// not loaded.
bool LoadIntoProcess(const Process& process, const fs::path& dll);

std::string ReadText(const fs::path& file);  // "" when missing
// How many starts a stand-in record holds.
int CountStarts(const std::string& record);
// One field ("path", "cwd", "commandline", "show") of the first start in a record.
std::string RecordField(const std::string& record, const std::string& field);

// Per-program settings, as Wine reads them for a program of that file name: which DLL it takes
// (native, builtin, or none), and which Windows version Wine imitates for it ("winxp", "win7",
// "win10"). ClearAppDefaults drops both.
void SetDllOverride(const std::wstring& exeName, const std::wstring& dll, const std::wstring& value);
void ImitateWindows(const std::wstring& exeName, const std::wstring& version);
void ClearAppDefaults(const std::wstring& exeName);

// The room left in this process's table of GDI handles: the table is filled with brushes until it
// refuses one, then emptied again. Two readings differ by the GDI objects made or freed between
// them, which Wine does not count (it answers GetGuiResources with 0).
int GdiHandlesFree();

// The size of an icon's colour image; 0 x 0 for no icon.
SIZE IconSize(HICON icon);
