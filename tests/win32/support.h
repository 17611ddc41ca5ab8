#pragma once
// Helpers for the Win32 tests: where they run, the folders and drives they lay out, the programs
// they start and what those leave behind, and the settings that only Wine has.

#include <windows.h>
#include <oleacc.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "desktop.h"
#include "platform.h"

namespace fs = std::filesystem;

// The folder of the running test program: the build's bin/ with every program it starts.
fs::path BinDirectory();
fs::path ThisExecutable();
// The same path in the form that file functions take beyond MAX_PATH.
fs::path ExtendedLength(const fs::path& path);
// An empty folder for one test, under the test run's scratch folder.
fs::path FreshScratch(std::string name);
// Removes everything inside the folder (a drive root too) and keeps the folder; RemoveFolder
// takes the folder too.
void EmptyFolder(const fs::path& folder);
void RemoveFolder(const fs::path& folder);
// Copies a file by writing its bytes into a new one, as every copy of the tests is made. A kit
// unpacked from a downloaded archive carries the mark of the web (a Zone.Identifier stream) on
// each file, and the shell warns before it starts a program so marked; CopyFile would copy the
// mark along, this leaves it behind.
void CopyAfresh(const fs::path& from, const fs::path& to);
// Lays out a medium: each named language folder gets the recording stand-in as setup.exe.
void LayOutLanguageFolders(const fs::path& medium, std::initializer_list<const wchar_t*> languages);
// The stand-in shell32.dll, which records what it is asked and marks where it is loaded.
fs::path StandInShell32();
// A DLL planted in the folder (a copy of the stand-in shell, which marks where it is loaded),
// by default of a name that no system folder holds: a careless search finds it there. Returns
// its name.
const wchar_t* PlantDll(const fs::path& folder, const wchar_t* name = L"tolvanix_planted.dll");
// The system folder, where the system's own DLLs lie.
fs::path SystemFolder();

// An empty folder that is the root of a drive, as a medium's is. On Windows a free drive letter
// is mapped to a scratch folder for the test's lifetime, as subst does; Wine's mapping calls map
// nothing, so there the session's drive M: is emptied instead, before the test and after it.
class DriveRoot {
public:
    explicit DriveRoot(const fs::path& scratch);
    ~DriveRoot();
    DriveRoot(const DriveRoot&) = delete;
    DriveRoot& operator=(const DriveRoot&) = delete;
    // "X:\"; empty when no drive could be had.
    const fs::path& Root() const { return root_; }

private:
    fs::path root_;
    std::wstring mapped_, target_;
};

// How long a test waits on another process to answer one call: a message sent to its window, a
// call into its COM objects, a thread of ours in it. Far longer than an answer takes on a loaded
// machine, and far shorter than the kit's limit for a whole test: a call that hangs fails its test
// saying what it waited for, rather than time the test out.
constexpr DWORD kAnswerLimitMs = 30000;

// What a process is doing, for a test that has waited on it past a limit: whether it still runs,
// whether each of its windows answers a message, and where each of its threads stands, its stack
// walked as far as it goes. ThreadStack: one thread's stack, of any process.
std::string ProcessReport(DWORD processId);
std::string ThreadStack(DWORD processId, DWORD threadId);

// A thread of the test's own for calls that wait on another process, made one at a time, each
// waited for at most a limit. It is a single-threaded COM apartment, as a screen reader's thread
// is, and runs its messages between calls. A call that has not returned by its limit leaves the
// thread where it waits: it takes no other call, and goes when the process ends.
class CallThread {
public:
    CallThread();
    ~CallThread();
    CallThread(const CallThread&) = delete;
    CallThread& operator=(const CallThread&) = delete;
    DWORD Id() const { return id_; }
    // False when the call did not return within the limit, or the thread was left before.
    bool Call(std::function<void()> call, DWORD limitMs = kAnswerLimitMs);
    // Leaves the apartment (which may release what it still holds in another process) and ends the
    // thread; false when that did not end within the limit.
    bool Finish(DWORD limitMs = kAnswerLimitMs);

private:
    struct Shared;
    static DWORD WINAPI Run(void* shared);
    std::shared_ptr<Shared> shared_;
    HANDLE thread_ = nullptr;
    DWORD id_ = 0;
    bool left_ = false;
};

class Process {
public:
    // `output`, when named, receives what the program writes to its standard output and error.
    Process(const fs::path& exe, const std::wstring& arguments, const fs::path& currentDirectory, const fs::path& output = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    DWORD Id() const { return info_.dwProcessId; }
    HANDLE Handle() const { return info_.hProcess; }
    bool Started() const { return info_.hProcess != nullptr; }
    // The exit code, or -1 when it has not ended within the timeout.
    long WaitForExit(DWORD timeoutMs = 60000) const;
    // A message box the program showed while the wait went on.
    struct Box {
        HWND owner;
        std::wstring caption, text;
    };
    // The same, answering each message box the program shows, so that it can end: the launcher's
    // own ("Project1") about a fatal error, and the shell's about a program it cannot start, which
    // Windows shows (Wine does not), owned by the window that asked.
    long WaitForExitClosingBoxes(std::vector<Box>& boxes, DWORD timeoutMs = 60000) const;

private:
    PROCESS_INFORMATION info_{};
};

// Has the process of the window load the DLL on the window's thread, as its own code would there
// (load_hook.dll, set on that thread for the while): a stand-in put in place before the program
// looks for a DLL of that name, or a bare name to see what the program's search finds. NoAnswer
// when the window did not answer within the limit; NoHook when the hook could not be set there.
enum class LoadOutcome { Loaded, Refused, NoAnswer, NoHook };
LoadOutcome LoadIntoProcess(HWND window, const std::wstring& dll);
// The file of the process's module of that name ("shell32.dll"); empty when it has none.
fs::path ModuleOf(const Process& process, const std::wstring& name);

std::string ReadText(const fs::path& file);  // "" when missing
// What a window shows at a point of its client area, read from its own surface.
COLORREF WindowPixel(HWND window, int x, int y);
// A colour as #RRGGBB; "nothing" for CLR_INVALID, what GetPixel answers where it reads nothing.
std::string Rgb(COLORREF colour);
// A rectangle as (left,top)-(right,bottom).
std::string Box(const RECT& r);
// Waits for the setup stand-in to record a start in its file (STANDIN_RECORD); false at the limit,
// and then kNoSetupStart says what may be why on Windows.
bool WaitForSetupStart(const fs::path& record, DWORD timeoutMs = 60000);
constexpr char kNoSetupStart[] =
    "no start of the setup stand-in was recorded within its limit. On a Windows with User Account Control on, elevation may "
    "be why: before the shell starts a program named like a setup whose manifest does not say asInvoker, it asks for "
    "elevation on the secure desktop, which no test can see";
// How many records ("key=value" lines closed by "end") a stand-in's file holds.
int CountRecords(const std::string& records);
// One field of the first record: "path", "cwd", "commandline", "show", "windows" of a start of
// the setup stand-in; "owner", "verb", "file", "parameters", "directory", "show" of a request to
// the stand-in shell.
std::string RecordField(const std::string& records, const std::string& field);

// Per-program settings, as Wine reads them for a program of that file name: which DLL it takes
// (native, builtin, or none), and which Windows version Wine imitates for it ("winxp", "win7",
// "win10"). ClearAppDefaults drops both. Wine's means: only where WineMeansAvailable().
void SetDllOverride(const std::wstring& exeName, const std::wstring& dll, const std::wstring& value);
void ImitateWindows(const std::wstring& exeName, const std::wstring& version);
void ClearAppDefaults(const std::wstring& exeName);

// The room left in this process's table of GDI handles: the table is filled with brushes until it
// refuses one, then emptied again. Two readings differ by the GDI objects made or freed between
// them, which Wine does not count (it answers GetGuiResources with 0).
int GdiHandlesFree();

// The DPI Wine gives the programs it starts from now on (Windows takes a new one only at the next
// sign-in). Wine's means: only where WineMeansAvailable().
void SetDpi(DWORD dpi);

// A control's rectangle in the client area, as the layout puts it at the DPI this program and the
// launcher are told.
RECT LayoutRect(const wchar_t* controlName);

// The size of an icon's colour image; 0 x 0 for no icon.
SIZE IconSize(HICON icon);

// A window as a screen reader sees it: its accessible object, a child by number, and texts and
// numbers read from it. The calling thread must be in a COM apartment.
struct ComReleaser {
    void operator()(IUnknown* object) const { object->Release(); }
};
using AccessiblePtr = std::unique_ptr<IAccessible, ComReleaser>;
AccessiblePtr AccessibleOf(HWND window, LONG objectId = OBJID_CLIENT);
VARIANT ChildNumber(long id);
// A text property (get_accName and the like) in UTF-8; "<error XXXXXXXX>" when refused.
std::string AccessibleText(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*property)(VARIANT, BSTR*), long child);
// A number property (get_accRole, get_accState); -1 when refused.
long AccessibleNumber(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*property)(VARIANT, VARIANT*), long child);
// The window of an object a child is handed out as; null for a child that has none.
HWND WindowOfChild(const VARIANT& child);
