#include "support.h"

#include <fstream>
#include <sstream>
#include <vector>

fs::path ThisExecutable()
{
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

fs::path ExtendedLength(const fs::path& path)
{
    return L"\\\\?\\" + path.wstring();
}

fs::path BinDirectory() { return ThisExecutable().parent_path(); }

namespace {
// The library's remove_all stops at MAX_PATH here, and tests lay out deeper folders than that.
void RemoveTree(const std::wstring& extendedPath, bool removeFolderItself = true)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((extendedPath + (extendedPath.back() == L'\\' ? L"*" : L"\\*")).c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = extendedPath + (extendedPath.back() == L'\\' ? L"" : L"\\") + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(child.c_str());
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

fs::path FreshScratch(std::string name)
{
    for (char& c : name)  // parameterised tests have a '/' in their names
        if (c == '/')
            c = '-';
    const fs::path folder = fs::current_path() / name;
    EmptyFolder(folder);
    return folder;
}

void LayOutLanguageFolders(const fs::path& medium, std::initializer_list<const wchar_t*> languages)
{
    for (const wchar_t* language : languages) {
        fs::create_directories(medium / language);
        fs::copy_file(BinDirectory() / L"setup_standin.exe", medium / language / L"setup.exe",
                      fs::copy_options::overwrite_existing);
    }
}

Process::Process(const fs::path& exe, const std::wstring& arguments, const fs::path& currentDirectory)
{
    std::wstring commandLine = L"\"" + exe.wstring() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        currentDirectory.c_str(), &startup, &info_))
        info_ = {};
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

long Process::WaitForExit(DWORD timeoutMs)
{
    if (!info_.hProcess || WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return static_cast<long>(code);
}

bool LoadIntoProcess(const Process& process, const fs::path& dll)
{
    const std::wstring path = dll.wstring();
    const SIZE_T bytes = (path.size() + 1) * sizeof(wchar_t);
    void* remotePath = VirtualAllocEx(process.Handle(), nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remotePath || !WriteProcessMemory(process.Handle(), remotePath, path.c_str(), bytes, nullptr))
        return false;
    // kernel32 lies at the same address in every process of a session, so its LoadLibraryW is
    // where this process has it.
    const auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
    HANDLE thread = CreateRemoteThread(process.Handle(), nullptr, 0, loadLibrary, remotePath, 0, nullptr);
    DWORD module = 0;
    if (thread) {
        WaitForSingleObject(thread, 30000);
        GetExitCodeThread(thread, &module);
        CloseHandle(thread);
    }
    VirtualFreeEx(process.Handle(), remotePath, 0, MEM_RELEASE);
    return module != 0;
}

std::string ReadText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int CountStarts(const std::string& record)
{
    int starts = 0;
    for (size_t at = record.find("path="); at != std::string::npos; at = record.find("\npath=", at + 1))
        ++starts;
    return starts;
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
void SetAppDefault(const std::wstring& exeName, const std::wstring& subkey, const std::wstring& name, const std::wstring& value)
{
    const std::wstring key = L"Software\\Wine\\AppDefaults\\" + exeName + subkey;
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
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
    const std::wstring key = L"Software\\Wine\\AppDefaults\\" + exeName;
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
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
