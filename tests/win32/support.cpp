#include "support.h"

#include "form_description.h"
#include "load_hook.h"
#include "module_path_win32.h"

#include <dbghelp.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <sstream>
#include <vector>

fs::path ThisExecutable() { return ExecutablePath().value_or(L""); }

fs::path ExtendedLength(const fs::path& path)
{
    return L"\\\\?\\" + path.wstring();
}

fs::path BinDirectory() { return ThisExecutable().parent_path(); }

namespace {
// What was copied from a read-only place (a disc, a kit in a read-only folder) is read-only itself,
// and neither Windows nor Wine removes it, or anything in a folder so marked, until that goes.
void MakeWritable(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

// The library's remove_all stops at MAX_PATH here, and tests lay out deeper folders than that.
void RemoveTree(const std::wstring& extendedPath, bool removeFolderItself = true)
{
    MakeWritable(extendedPath);
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((extendedPath + (extendedPath.back() == L'\\' ? L"*" : L"\\*")).c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = extendedPath + (extendedPath.back() == L'\\' ? L"" : L"\\") + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                MakeWritable(child);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    if (removeFolderItself)
        RemoveDirectoryW(extendedPath.c_str());
}
}  // namespace

void EmptyFolder(const fs::path& folder)
{
    RemoveTree(ExtendedLength(folder).wstring(), false);
    if (folder.has_relative_path())  // a drive root always exists, and the library fails on it
        fs::create_directories(folder);
}

void RemoveFolder(const fs::path& folder) { RemoveTree(ExtendedLength(folder).wstring()); }

fs::path FreshScratch(std::string name)
{
    for (char& c : name)  // parameterised tests have a '/' in their names
        if (c == '/')
            c = '-';
    const fs::path folder = fs::current_path() / name;
    EmptyFolder(folder);
    return folder;
}

void CopyAfresh(const fs::path& from, const fs::path& to)
{
    // The library writes the data it reads into a new file here, with no stream but the data.
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

void LayOutLanguageFolders(const fs::path& medium, std::initializer_list<const wchar_t*> languages)
{
    for (const wchar_t* language : languages) {
        fs::create_directories(medium / language);
        CopyAfresh(BinDirectory() / L"setup_standin.exe", medium / language / L"setup.exe");
    }
}

fs::path StandInShell32() { return BinDirectory().parent_path() / L"standin" / L"shell32.dll"; }

const wchar_t* PlantDll(const fs::path& folder, const wchar_t* name)
{
    fs::create_directories(folder);
    CopyAfresh(StandInShell32(), folder / name);
    return name;
}

fs::path SystemFolder()
{
    wchar_t folder[MAX_PATH] = {};
    GetSystemDirectoryW(folder, static_cast<UINT>(std::size(folder)));
    return folder;
}

DriveRoot::DriveRoot(const fs::path& scratch)
{
    if (IsWine()) {
        root_ = L"M:\\";
        EmptyFolder(root_);
        return;
    }
    target_ = (scratch / L"drive").wstring();
    fs::create_directories(target_);
    const DWORD used = GetLogicalDrives();
    for (wchar_t letter = L'Z'; letter >= L'D' && mapped_.empty(); --letter) {
        const std::wstring drive{letter, L':'};
        if (!(used & (1u << (letter - L'A'))) && DefineDosDeviceW(0, drive.c_str(), target_.c_str())) {
            mapped_ = drive;
            root_ = drive + L"\\";
        }
    }
}

DriveRoot::~DriveRoot()
{
    // Nothing a test put there outlives it: the session's drive is emptied, a mapped one unmapped.
    if (mapped_.empty() && !root_.empty())
        EmptyFolder(root_);
    if (!mapped_.empty())
        DefineDosDeviceW(DDD_REMOVE_DEFINITION, mapped_.c_str(), nullptr);
}

Process::Process(const fs::path& exe, const std::wstring& arguments, const fs::path& currentDirectory, const fs::path& output)
{
    std::wstring commandLine = L"\"" + exe.wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (!output.empty()) {
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        file = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = startup.hStdError = file;
    }
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, file != INVALID_HANDLE_VALUE, 0, nullptr,
                        currentDirectory.c_str(), &startup, &info_))
        info_ = {};
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

Process::~Process()
{
    if (!info_.hProcess)
        return;
    // A program the test left running ends here, and is gone before the next test looks for
    // its windows: termination finishes after TerminateProcess returns.
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(info_.hProcess, 99);
        WaitForSingleObject(info_.hProcess, 30000);
    }
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
}

long Process::WaitForExit(DWORD timeoutMs) const
{
    if (!info_.hProcess || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return static_cast<long>(code);
}

long Process::WaitForExitClosingBoxes(std::vector<Box>& boxes, DWORD timeoutMs) const
{
    std::vector<HWND> closed;
    long code = -1;
    WaitFor([&] {
        if ((code = WaitForExit(0)) != -1)
            return true;
        for (HWND box = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); box; box = FindWindowExW(nullptr, box, L"#32770", nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(box, &owner);
            if (owner != Id() || !IsWindowVisible(box) || std::find(closed.begin(), closed.end(), box) != closed.end())
                continue;
            closed.push_back(box);
            wchar_t caption[256] = {}, text[1024] = {};
            GetWindowTextW(box, caption, static_cast<int>(std::size(caption)));
            // A message box's text, which its control in the other process is asked for.
            DWORD_PTR length = 0;
            const bool answered = SendMessageTimeoutW(GetDlgItem(box, 0xFFFF), WM_GETTEXT, std::size(text),
                                                      reinterpret_cast<LPARAM>(text), SMTO_NORMAL, kAnswerLimitMs, &length);
            boxes.push_back({GetWindow(box, GW_OWNER), caption, answered ? text : L"<no text: the box did not answer>"});
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            PostMessageW(box, WM_CLOSE, 0, 0);
        }
        return false;
    }, timeoutMs);
    return code;
}

namespace {

// The modules of a process: where each lies, its name and its file.
struct ModuleSpan {
    DWORD64 base, end;
    std::wstring name;
    fs::path file;
};

std::vector<ModuleSpan> ModulesOf(DWORD processId)
{
    // A snapshot of a process that is still loading may be refused for the moment.
    HANDLE snapshot = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 10 && snapshot == INVALID_HANDLE_VALUE; ++attempt)
        if ((snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId)) == INVALID_HANDLE_VALUE)
            Sleep(50);
    std::vector<ModuleSpan> modules;
    if (snapshot == INVALID_HANDLE_VALUE)
        return modules;
    MODULEENTRY32W module{};
    module.dwSize = sizeof module;
    for (BOOL more = Module32FirstW(snapshot, &module); more; more = Module32NextW(snapshot, &module)) {
        const auto base = reinterpret_cast<std::uintptr_t>(module.modBaseAddr);
        modules.push_back({base, base + module.modBaseSize, module.szModule, module.szExePath});
    }
    CloseHandle(snapshot);
    return modules;
}

std::string Hex(DWORD64 value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

// The stacks of a process's threads, each frame named by its module and offset, and by the
// nearest symbol the debugging library finds (an export, where a module carries no more).
class StackReader {
public:
    explicit StackReader(DWORD processId) : modules_(ModulesOf(processId))
    {
        process_ = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
        SymSetOptions(SYMOPT_UNDNAME | SYMOPT_DEFERRED_LOADS | SYMOPT_FAIL_CRITICAL_ERRORS | SYMOPT_NO_PROMPTS);
        symbols_ = process_ && SymInitialize(process_, nullptr, TRUE);
    }
    ~StackReader()
    {
        if (symbols_)
            SymCleanup(process_);
        if (process_)
            CloseHandle(process_);
    }
    StackReader(const StackReader&) = delete;
    StackReader& operator=(const StackReader&) = delete;

    // The stack of a thread other than the caller's.
    std::string Stack(DWORD threadId) const
    {
        HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE, threadId);
        if (!process_ || !thread) {
            const DWORD error = GetLastError();
            if (thread)
                CloseHandle(thread);
            return "    its stack cannot be read (error " + std::to_string(error) + ")\n";
        }
        std::string frames;
        CONTEXT context{};
        context.ContextFlags = CONTEXT_FULL;
        // Held still while its stack is read: a running thread's frames would change underneath.
        const bool held = SuspendThread(thread) != static_cast<DWORD>(-1);
        if (!held || !GetThreadContext(thread, &context)) {
            frames = "    its stack cannot be read (error " + std::to_string(GetLastError()) + ")\n";
        } else {
            STACKFRAME64 frame{};
            frame.AddrPC = {context.Eip, 0, AddrModeFlat};
            frame.AddrFrame = {context.Ebp, 0, AddrModeFlat};
            frame.AddrStack = {context.Esp, 0, AddrModeFlat};
            for (int depth = 0; depth < 40 && StackWalk64(IMAGE_FILE_MACHINE_I386, process_, thread, &frame, &context, nullptr,
                                                          SymFunctionTableAccess64, SymGetModuleBase64, nullptr) &&
                                frame.AddrPC.Offset;
                 ++depth)
                frames += "    #" + std::to_string(depth) + " " + Place(frame.AddrPC.Offset) + "\n";
            if (frames.empty())
                frames = "    its stack cannot be walked from " + Place(context.Eip) + "\n";
        }
        if (held)
            ResumeThread(thread);
        CloseHandle(thread);
        return frames;
    }

private:
    std::string Place(DWORD64 address) const
    {
        std::string place = Hex(address);
        for (const ModuleSpan& module : modules_)
            if (address >= module.base && address < module.end)
                place = Utf8(module.name) + "+" + Hex(address - module.base);
        alignas(SYMBOL_INFO) char buffer[sizeof(SYMBOL_INFO) + 256] = {};
        auto* symbol = reinterpret_cast<SYMBOL_INFO*>(buffer);
        symbol->SizeOfStruct = sizeof(SYMBOL_INFO);
        symbol->MaxNameLen = 255;
        DWORD64 displacement = 0;
        if (symbols_ && SymFromAddr(process_, address, &displacement, symbol))
            place += " (" + std::string(symbol->Name) + "+" + Hex(displacement) + ")";
        return place;
    }

    std::vector<ModuleSpan> modules_;
    HANDLE process_ = nullptr;
    bool symbols_ = false;
};

std::vector<DWORD> ThreadsOf(DWORD processId)
{
    std::vector<DWORD> threads;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return threads;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == processId)
            threads.push_back(entry.th32ThreadID);
    CloseHandle(snapshot);
    return threads;
}

BOOL CALLBACK AddWindowOf(HWND window, LPARAM found)
{
    auto& [processId, windows] = *reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(found);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId)
        windows.push_back(window);
    return TRUE;
}

// A window of the process, and whether its thread answers a message now.
std::string WindowState(HWND window)
{
    wchar_t className[128] = {}, title[128] = {};
    GetClassNameW(window, className, static_cast<int>(std::size(className)));
    GetWindowTextW(window, title, static_cast<int>(std::size(title)));
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    DWORD_PTR ignored = 0;
    const bool answers = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &ignored) != 0;
    std::string state = "  window " + Hex(reinterpret_cast<std::uintptr_t>(window)) + " \"" + Utf8(title) + "\" (" +
                        Utf8(className) + ") of thread " + std::to_string(thread) + (IsWindowVisible(window) ? ", shown" : ", hidden") +
                        (answers ? ", answers a message" : ", answers no message within a second");
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (GetGUIThreadInfo(thread, &gui)) {
        if (gui.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE))
            state += ", in a menu";
        if (gui.flags & GUI_INMOVESIZE)
            state += ", moving or sizing";
    }
    return state + "\n";
}

}  // namespace

std::string ProcessReport(DWORD processId)
{
    std::string report = "process " + std::to_string(processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    DWORD code = 0;
    if (!process || !GetExitCodeProcess(process, &code)) {
        report += ": cannot be looked at (error " + std::to_string(GetLastError()) + ")\n";
        if (process)
            CloseHandle(process);
        return report;
    }
    CloseHandle(process);
    if (code != STILL_ACTIVE)
        return report + ": has ended, with code " + std::to_string(code) + "\n";
    report += ": runs\n";
    std::pair<DWORD, std::vector<HWND>> windows{processId, {}};
    EnumWindows(AddWindowOf, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows.second)
        report += WindowState(window);
    const StackReader stacks(processId);
    for (DWORD thread : ThreadsOf(processId))
        report += "  thread " + std::to_string(thread) + ":\n" + stacks.Stack(thread);
    return report;
}

std::string ThreadStack(DWORD processId, DWORD threadId) { return StackReader(processId).Stack(threadId); }

struct CallThread::Shared {
    HANDLE posted = CreateEventW(nullptr, FALSE, FALSE, nullptr), done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::function<void()> call;  // handed over while the thread waits for one
    bool finish = false;
    ~Shared()
    {
        CloseHandle(posted);
        CloseHandle(done);
    }
};

DWORD WINAPI CallThread::Run(void* parameter)
{
    // The thread holds its own share: a thread that is left outlives its CallThread.
    const std::unique_ptr<std::shared_ptr<Shared>> handedOver(static_cast<std::shared_ptr<Shared>*>(parameter));
    const std::shared_ptr<Shared> shared = *handedOver;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    for (;;) {
        if (MsgWaitForMultipleObjects(1, &shared->posted, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            continue;
        }
        if (shared->finish) {
            CoUninitialize();
            SetEvent(shared->done);
            return 0;
        }
        const std::function<void()> call = std::move(shared->call);
        call();
        SetEvent(shared->done);
    }
}

CallThread::CallThread() : shared_(std::make_shared<Shared>())
{
    auto* handedOver = new std::shared_ptr<Shared>(shared_);
    thread_ = CreateThread(nullptr, 0, Run, handedOver, 0, &id_);
    if (!thread_)
        delete handedOver;
}

CallThread::~CallThread()
{
    if (!left_)
        Finish();
    if (thread_)
        CloseHandle(thread_);
}

bool CallThread::Call(std::function<void()> call, DWORD limitMs)
{
    if (left_ || !thread_)
        return false;
    shared_->call = std::move(call);
    SetEvent(shared_->posted);
    left_ = WaitForSingleObject(shared_->done, limitMs) != WAIT_OBJECT_0;
    return !left_;
}

bool CallThread::Finish(DWORD limitMs)
{
    if (left_ || !thread_)
        return false;
    shared_->finish = true;
    SetEvent(shared_->posted);
    left_ = true;  // no call after this, whether it ends in time or not
    return WaitForSingleObject(shared_->done, limitMs) == WAIT_OBJECT_0 && WaitForSingleObject(thread_, limitMs) == WAIT_OBJECT_0;
}

LoadOutcome LoadIntoProcess(HWND window, const std::wstring& dll)
{
    HMODULE hook = LoadLibraryW((BinDirectory() / L"load_hook.dll").c_str());
    const auto procedure = hook ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(hook, "LoadOnRequest"))) : nullptr;
    HHOOK set = procedure ? SetWindowsHookExW(WH_CALLWNDPROC, procedure, hook, GetWindowThreadProcessId(window, nullptr)) : nullptr;
    const ATOM name = set ? GlobalAddAtomW(dll.c_str()) : 0;  // none for a name of more than 255 characters
    LoadOutcome outcome = LoadOutcome::NoHook;
    DWORD_PTR answer = 0;
    if (name && !SendMessageTimeoutW(window, RegisterWindowMessageW(kLoadRequestMessage), name, 0, SMTO_NORMAL, kAnswerLimitMs, &answer))
        outcome = LoadOutcome::NoAnswer;
    else if (answer == static_cast<DWORD_PTR>(kLoaded) || answer == static_cast<DWORD_PTR>(kRefused))
        outcome = answer == static_cast<DWORD_PTR>(kLoaded) ? LoadOutcome::Loaded : LoadOutcome::Refused;
    if (name)
        GlobalDeleteAtom(name);
    if (set)
        UnhookWindowsHookEx(set);
    if (hook)
        FreeLibrary(hook);
    return outcome;
}

fs::path ModuleOf(const Process& process, const std::wstring& name)
{
    for (const ModuleSpan& module : ModulesOf(process.Id()))
        if (_wcsicmp(module.name.c_str(), name.c_str()) == 0)
            return module.file;
    return {};
}

COLORREF WindowPixel(HWND window, int x, int y)
{
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

std::string Rgb(COLORREF colour)
{
    char text[16];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return colour == CLR_INVALID ? "nothing" : text;
}

std::string Box(const RECT& r)
{
    char text[64];
    std::snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
    return text;
}

std::string ReadText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WaitForSetupStart(const fs::path& record, DWORD timeoutMs)
{
    return WaitFor([&] { return ReadText(record).find("end\n") != std::string::npos; }, timeoutMs);
}

int CountRecords(const std::string& records)
{
    int count = 0;
    for (size_t at = records.find("end\n"); at != std::string::npos; at = records.find("end\n", at + 1))
        count += at == 0 || records[at - 1] == '\n';
    return count;
}

std::string RecordField(const std::string& record, const std::string& field)
{
    const std::string key = field + "=";
    const size_t at = record.rfind(key, 0) == 0 ? 0 : record.find("\n" + key);
    if (at == std::string::npos)
        return "<missing>";
    const size_t start = at + key.size() + (at == 0 ? 0 : 1);
    return record.substr(start, record.find('\n', start) - start);
}

namespace {
// A value of this user's registry, its key made where it is missing. (RegSetKeyValueW came with
// Vista, and the tests run on XP too.)
void SetUserValue(const std::wstring& path, const std::wstring& name, DWORD type, const void* data, DWORD bytes)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(key);
}

void SetAppDefault(const std::wstring& exeName, const std::wstring& subkey, const std::wstring& name, const std::wstring& value)
{
    SetUserValue(L"Software\\Wine\\AppDefaults\\" + exeName + subkey, name, REG_SZ, value.c_str(),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// RegDeleteTreeW came with Vista, and the tests run on XP too.
bool DeleteKeyTree(HKEY parent, const std::wstring& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, &key) != ERROR_SUCCESS)
        return false;
    wchar_t child[256];
    DWORD length = static_cast<DWORD>(std::size(child));
    while (RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS && DeleteKeyTree(key, child))
        length = static_cast<DWORD>(std::size(child));
    RegCloseKey(key);
    return RegDeleteKeyW(parent, name.c_str()) == ERROR_SUCCESS;
}
}  // namespace

void SetDllOverride(const std::wstring& exeName, const std::wstring& dll, const std::wstring& value)
{
    SetAppDefault(exeName, L"\\DllOverrides", dll, value);
}

void ImitateWindows(const std::wstring& exeName, const std::wstring& version)
{
    SetAppDefault(exeName, L"", L"Version", version);
}

void ClearAppDefaults(const std::wstring& exeName)
{
    DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\" + exeName);
}

void SetDpi(DWORD dpi) { SetUserValue(L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof dpi); }

RECT LayoutRect(const wchar_t* controlName)
{
    const SIZE dpi = ScreenDpi();
    for (const ControlDescription& control : LauncherForm().controls)
        if (control.name == controlName) {
            const PixelRect at = ControlPixels(control, dpi.cx, dpi.cy);
            return {at.left, at.top, at.left + at.width, at.top + at.height};
        }
    return {};
}

SIZE IconSize(HICON icon)
{
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info))
        return {0, 0};
    BITMAP colour{};
    GetObjectW(info.hbmColor, sizeof colour, &colour);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return {colour.bmWidth, colour.bmHeight};
}

int GdiHandlesFree()
{
    std::vector<HBRUSH> brushes;
    while (HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3))) {
        brushes.push_back(brush);
        if (brushes.size() == 1000000)
            break;  // no table is that large: something else is wrong
    }
    for (HBRUSH brush : brushes)
        DeleteObject(brush);
    return static_cast<int>(brushes.size());
}

AccessiblePtr AccessibleOf(HWND window, LONG objectId)
{
    IAccessible* object = nullptr;
    AccessibleObjectFromWindow(window, static_cast<DWORD>(objectId), IID_IAccessible, reinterpret_cast<void**>(&object));
    return AccessiblePtr(object);
}

VARIANT ChildNumber(long id)
{
    VARIANT child{};
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

std::string AccessibleText(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*property)(VARIANT, BSTR*), long child)
{
    BSTR text = nullptr;
    const HRESULT result = (object->*property)(ChildNumber(child), &text);
    char error[32];
    std::snprintf(error, sizeof error, "<error %08lX>", static_cast<unsigned long>(result));
    const std::string answer = FAILED(result) ? error : text ? Utf8(text) : "<none>";
    SysFreeString(text);
    return answer;
}

long AccessibleNumber(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*property)(VARIANT, VARIANT*), long child)
{
    VARIANT number{};
    const HRESULT result = (object->*property)(ChildNumber(child), &number);
    const long answer = SUCCEEDED(result) && number.vt == VT_I4 ? number.lVal : -1;
    VariantClear(&number);
    return answer;
}

HWND WindowOfChild(const VARIANT& child)
{
    HWND window = nullptr;
    if (child.vt == VT_DISPATCH && child.pdispVal) {
        IAccessible* object = nullptr;
        if (SUCCEEDED(child.pdispVal->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&object)))) {
            WindowFromAccessibleObject(object, &window);
            object->Release();
        }
    }
    return window;
}
