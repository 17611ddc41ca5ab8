// Project1.exe end to end: started from a medium that the test lays out, looked at and driven
// through the Windows API with real input, on the desktop at hand: Wine's virtual one, or a real
// Windows desktop with other windows, a taskbar at any edge and its own DPI.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <regex>
#include <stdexcept>
#include <thread>

#include "dll_search_win32.h"
#include "support.h"
#include "welcome_picture.h"

namespace {

fs::path StderrLog()
{
    wchar_t path[1024] = {};
    GetEnvironmentVariableW(L"WINE_STDERR_WINDOWS_PATH", path, static_cast<DWORD>(std::size(path)));
    return path;
}

// The welcome picture's size: it stands 1:1 at the client's origin, whatever the DPI.
constexpr int kPictureWidth = 686, kPictureHeight = 450;

POINT ScreenCentre() { return {GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2}; }

// What a test says when the launcher has not answered a call within the limit: what the call
// waited for, and what the launcher is doing.
std::string NoAnswer(const std::string& what, const Process& launcher)
{
    return "the launcher gave no answer within " + std::to_string(kAnswerLimitMs / 1000) + " s to " + what + "; the launcher, " +
           ProcessReport(launcher.Id());
}

// A screen reader in this process, which asks the launcher from a thread of its own as a reader
// asks from its process: each question waits on the launcher's answer (its WM_GETOBJECT, then
// calls into its process), and is waited for at most kAnswerLimitMs. A question that has no
// answer by then fails the test at once, with what it asked, what the launcher is doing and where
// the reader waits, and ends the test there; the reader is left where it waits.
class ScreenReader {
public:
    explicit ScreenReader(const Process& launcher) : launcher_(launcher) {}
    ~ScreenReader()
    {
        // What it holds goes on its own thread, where it came: each release tells the launcher.
        Within("the release of the launcher's objects", [objects = objects_] {
            for (IAccessible* object : objects)
                object->Release();
        });
        if (!overdue_ && !thread_.Finish())
            ADD_FAILURE() << Unanswered("the reader's leaving its COM apartment");
    }
    ScreenReader(const ScreenReader&) = delete;
    ScreenReader& operator=(const ScreenReader&) = delete;

    // The launcher's object for a window, as AccessibleObjectFromWindow hands it out; the reader
    // holds it until it goes. Null when there is none.
    IAccessible* ObjectOf(HWND window, LONG objectId = OBJID_CLIENT)
    {
        IAccessible* object = Ask("AccessibleObjectFromWindow, which waits on the launcher's WM_GETOBJECT",
                                  [=] { return AccessibleOf(window, objectId).release(); });
        if (object)
            objects_.push_back(object);
        return object;
    }
    long Role(IAccessible* object, long child)
    {
        return Ask(Call("get_accRole", child), [=] { return AccessibleNumber(object, &IAccessible::get_accRole, child); });
    }
    std::string Name(IAccessible* object, long child)
    {
        return Ask(Call("get_accName", child), [=] { return AccessibleText(object, &IAccessible::get_accName, child); });
    }
    std::string Description(IAccessible* object, long child)
    {
        return Ask(Call("get_accDescription", child), [=] { return AccessibleText(object, &IAccessible::get_accDescription, child); });
    }
    // The answer, and the count.
    std::pair<HRESULT, long> ChildCount(IAccessible* object)
    {
        return Ask("IAccessible::get_accChildCount", [=] {
            long count = 0;
            const HRESULT result = object->get_accChildCount(&count);
            return std::pair(result, count);
        });
    }
    // Where the child stands on the screen; nothing when the object does not say.
    std::optional<RECT> Location(IAccessible* object, long child)
    {
        return Ask(Call("accLocation", child), [=] {
            long left = 0, top = 0, width = 0, height = 0;
            return SUCCEEDED(object->accLocation(&left, &top, &width, &height, ChildNumber(child)))
                       ? std::optional<RECT>(RECT{left, top, left + width, top + height})
                       : std::nullopt;
        });
    }

private:
    static std::string Call(const char* method, long child)
    {
        const std::string call = "IAccessible::" + std::string(method);
        return child == CHILDID_SELF ? call + " of the object itself" : call + " of child " + std::to_string(child);
    }

    // Asks on the reader's thread. The answer lands on the heap: a question past its limit may
    // still return, after the test has gone on.
    template <typename Question>
    auto Ask(const std::string& what, Question question) -> decltype(question())
    {
        const auto answer = std::make_shared<decltype(question())>();
        if (!Within(what, [answer, question] { *answer = question(); }))
            throw std::runtime_error("the test ends here: the launcher gave no answer to " + what);
        return *answer;
    }
    bool Within(const std::string& what, std::function<void()> call)
    {
        if (overdue_)
            return false;
        overdue_ = !thread_.Call(std::move(call));
        if (overdue_)
            ADD_FAILURE() << Unanswered(what);
        return !overdue_;
    }
    std::string Unanswered(const std::string& what) const
    {
        return NoAnswer(what, launcher_) + "the reader, thread " + std::to_string(thread_.Id()) + " of this process, waits at:\n" +
               ThreadStack(GetCurrentProcessId(), thread_.Id());
    }

    const Process& launcher_;
    CallThread thread_;
    std::vector<IAccessible*> objects_;
    bool overdue_ = false;
};

// One run of the launcher from a medium of the three stand-in setup programs, started in a
// folder that is not the medium.
class LauncherRun : public testing::Test {
protected:
    void Start(const fs::path& medium, const std::wstring& environmentDebug = L"-all")
    {
        medium_ = medium;
        elsewhere_ = scratch_ / L"elsewhere";
        fs::create_directories(elsewhere_);
        record_ = scratch_ / L"record.txt";
        fs::remove(record_);
        SetEnvironmentVariableW(L"STANDIN_RECORD", record_.c_str());
        if (WineMeansAvailable()) {
            SetEnvironmentVariableW(L"WINEDEBUG", environmentDebug.c_str());
            logStart_ = fs::exists(StderrLog()) ? fs::file_size(StderrLog()) : 0;
        }
        process_ = std::make_unique<Process>(medium / L"Project1.exe", L"", elsewhere_);
        SetEnvironmentVariableW(L"WINEDEBUG", L"-all");
        ASSERT_TRUE(process_->Started());
        window_ = WaitForReadyWindow(process_->Id(), L"Tolvanix");
        ASSERT_NE(window_, nullptr) << "the launcher's window did not come to the front with a button focused";
    }

    // A medium in the test's scratch folder: the launcher (or a program of the kit in its place)
    // and the named language folders.
    fs::path LayOutMedium(std::initializer_list<const wchar_t*> languages = {L"English", L"German", L"French"},
                          const wchar_t* launcher = L"Project1.exe")
    {
        const fs::path medium = scratch_ / L"medium";
        fs::create_directories(medium);
        CopyAfresh(BinDirectory() / launcher, medium / L"Project1.exe");
        LayOutLanguageFolders(medium, languages);
        return medium;
    }
    void StartFromFreshMedium() { Start(LayOutMedium()); }

    void SetUp() override
    {
        scratch_ = FreshScratch(testing::UnitTest::GetInstance()->current_test_info()->name());
        // Each run starts with the pointer away from where the launcher's buttons will be.
        ParkPointer();
    }
    void TearDown() override
    {
        if (WineMeansAvailable())
            SetDpi(96);
    }

    HWND Focus() const { return FocusOf(window_); }
    std::string FocusCaption() const
    {
        wchar_t text[64] = {};
        GetWindowTextW(Focus(), text, static_cast<int>(std::size(text)));
        return Utf8(text);
    }
    HWND Button(const wchar_t* caption) const { return FindWindowExW(window_, nullptr, L"Button", caption); }
    RECT ClientRectOf(HWND child) const
    {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    void ExpectCentred() const
    {
        RECT outer;
        GetWindowRect(window_, &outer);
        const POINT centre = ScreenCentre();
        EXPECT_NEAR((outer.left + outer.right) / 2.0, centre.x, 1) << "centred across";
        EXPECT_NEAR((outer.top + outer.bottom) / 2.0, centre.y, 1) << "centred down";
    }

    bool WaitForFocusOn(const wchar_t* caption)
    {
        return WaitFor([&] { return Focus() == Button(caption); }, 20000);
    }

    bool Ended(DWORD timeoutMs = 60000) { return process_->WaitForExit(timeoutMs) != -1; }
    // Whether the launcher loads the DLL when asked on its window's thread. A request it does not
    // answer within the limit fails the test, and so does one that cannot be made.
    bool LoadsIntoLauncher(const std::wstring& dll)
    {
        switch (LoadIntoProcess(window_, dll)) {
        case LoadOutcome::Loaded: return true;
        case LoadOutcome::Refused: return false;
        case LoadOutcome::NoAnswer: ADD_FAILURE() << NoAnswer("a request to load " + Utf8(dll), *process_); return false;
        case LoadOutcome::NoHook:
            ADD_FAILURE() << "the launcher could not be asked to load " << Utf8(dll)
                          << ": load_hook.dll was not set on its window thread or did not answer, or the name does not fit an atom";
            return false;
        }
        return false;
    }
    std::string Record() const { return ReadText(record_); }
    // Waits for the stand-in's record of one start.
    std::string WaitForStart()
    {
        EXPECT_TRUE(WaitForSetupStart(record_)) << kNoSetupStart;
        return Record();
    }
    // The shell requests the launcher made, as Wine's exec channel logged them.
    std::vector<std::string> ShellRequests() const
    {
        const std::string log = ReadText(StderrLog());
        const std::string mine = log.size() > logStart_ ? log.substr(static_cast<size_t>(logStart_)) : "";
        std::vector<std::string> requests;
        const std::regex request(R"(trace:exec:SHELL_execute (mask=.*))");
        for (auto it = std::sregex_iterator(mine.begin(), mine.end(), request); it != std::sregex_iterator(); ++it)
            requests.push_back((*it)[1]);
        return requests;
    }

    fs::path scratch_, medium_, elsewhere_, record_;
    std::unique_ptr<Process> process_;
    HWND window_ = nullptr;
    std::uintmax_t logStart_ = 0;
};

// COM gives each single-threaded apartment a hidden window of this class on its thread: a
// message-only one since Vista, a top-level one before.
bool IsSingleThreadedApartment(DWORD thread)
{
    for (HWND parent : {HWND_MESSAGE, HWND(nullptr)})
        for (HWND window = FindWindowExW(parent, nullptr, L"OleMainThreadWndClass", nullptr); window;
             window = FindWindowExW(parent, window, L"OleMainThreadWndClass", nullptr))
            if (GetWindowThreadProcessId(window, nullptr) == thread)
                return true;
    return false;
}

// A text as Wine's traces show it: backslashes and quotes escaped, and every character outside
// printable ASCII as a backslash and four hex digits.
std::string AsWineTraces(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text) {
        if (c == L'\\' || c == L'"') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%04x", static_cast<unsigned>(c));
            out += escaped;
        }
    }
    return out;
}

std::string Hex(HWND window)
{
    char text[32];
    std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(window)));
    return text;
}

// --- Appearance -------------------------------------------------------------------------

struct DpiCase {
    int dpi;
    SIZE client;
    RECT english, german, french, prompt;
};

// Where a screen reader is told the prompt stands, in the client area.
RECT PromptAsAScreenReaderFindsIt(HWND window, const Process& launcher)
{
    ScreenReader reader(launcher);
    IAccessible* const client = reader.ObjectOf(window);
    std::optional<RECT> prompt = client ? reader.Location(client, 1) : std::nullopt;
    if (!prompt)
        return {};
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&*prompt), 2);
    return *prompt;
}

// The layout worked out by hand at each DPI.
const DpiCase kLayoutAt[] = {
    {96, {685, 447}, {224, 184, 593, 217}, {224, 248, 593, 281}, {224, 312, 593, 345}, {224, 120, 641, 161}},
    {120, {856, 559}, {280, 230, 741, 271}, {280, 310, 741, 351}, {280, 390, 741, 431}, {280, 150, 801, 201}},
    {144, {1028, 671}, {336, 276, 890, 326}, {336, 372, 890, 422}, {336, 468, 890, 518}, {336, 180, 962, 242}},
};

// The client area this system gives a window of these styles whose outer size is made from the
// client size as the documentation says, with AdjustWindowRectEx. Windows gives that size back;
// Wine 10 draws the frame of a window it stretches at the display's DPI, unstretched, so there
// the client area comes out some pixels larger.
SIZE ClientOfAWindowMadeFor(SIZE client, DWORD style, DWORD exStyle)
{
    RECT outer{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    HWND window = CreateWindowExW(exStyle, L"STATIC", L"", style & ~WS_VISIBLE, 0, 0, outer.right - outer.left,
                                  outer.bottom - outer.top, nullptr, nullptr, nullptr, nullptr);
    RECT made{};
    GetClientRect(window, &made);
    DestroyWindow(window);
    return {made.right, made.bottom};
}

class Appearance : public LauncherRun, public testing::WithParamInterface<DpiCase> {
protected:
    // Windows takes a new DPI only at the next sign-in, Wine at each program's start: so under
    // Wine the launcher is looked at by a copy of this test started after the DPI is set, as a
    // program of the same sign-in would look at it on Windows.
    void ObserveFromAProgramStartedAtTheDpi()
    {
        SetDpi(GetParam().dpi);
        const testing::TestInfo& test = *testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string(test.test_suite_name()) + "." + test.name();
        const fs::path folder = scratch_ / L"observer", output = scratch_ / L"observer.txt", report = folder / L"report.json";
        fs::create_directories(folder);
        fs::remove(report);
        SetEnvironmentVariableW(L"LAUNCHER_TESTS_OBSERVER", L"1");
        const std::wstring arguments = L"--gtest_filter=" + std::wstring(name.begin(), name.end()) + L" --gtest_output=json:report.json";
        const Process observer(ThisExecutable(), arguments, folder, output);
        SetEnvironmentVariableW(L"LAUNCHER_TESTS_OBSERVER", nullptr);
        EXPECT_EQ(observer.WaitForExit(240000), 0) << "the test as a program started at " << GetParam().dpi << " DPI:\n"
                                                   << ReadText(output);
        // A filter that matches nothing, or a test that skips, ends with 0 too: the report, one
        // "result" a test, must show this one test run to its end.
        const std::string json = ReadText(report);
        std::vector<std::string> results;
        const std::regex result(R"x("result": "([A-Z]+)")x");
        for (auto match = std::sregex_iterator(json.begin(), json.end(), result); match != std::sregex_iterator(); ++match)
            results.push_back((*match)[1].str());
        EXPECT_EQ(results, std::vector<std::string>{"COMPLETED"}) << "the results of the tests that " << name << " names, as its copy reports them:\n"
                                        << ReadText(output);
    }
    static bool Observing() { return GetEnvironmentVariableW(L"LAUNCHER_TESTS_OBSERVER", nullptr, 0) != 0; }
};

TEST_P(Appearance, WindowAndButtonsStandWhereTheLayoutPutsThem)
{
    const int desktop = GetParam().dpi;
    if (WineMeansAvailable() && !Observing())
        return ObserveFromAProgramStartedAtTheDpi();
    if (DesktopDpi() != desktop) {
        ASSERT_FALSE(Observing()) << "started at " << desktop << " DPI, the desktop is at " << DesktopDpi();
        GTEST_SKIP() << "this desktop is at " << DesktopDpi() << " DPI, and Windows takes another only at the next sign-in";
    }
    // A program that does not declare itself DPI-aware, as the launcher and this test, is handed
    // the desktop's DPI by Windows XP, and by Vista and 7 at 120 DPI; Windows 8.1 and later (and
    // Vista and 7 from 144 DPI) tell it 96 and stretch its window. The launcher lays itself out
    // at the DPI it is told.
    const int told = ScreenDpi().cx;
    ASSERT_TRUE(told == desktop || told == 96) << "at " << desktop << " DPI a program is told " << told
                                               << ", which no Windows tells it";
    const DpiCase& c = *std::find_if(std::begin(kLayoutAt), std::end(kLayoutAt), [&](const DpiCase& at) { return at.dpi == told; });
    std::printf("The desktop is at %d DPI, and this system %s.\n", desktop,
                told == desktop ? "hands that to a program not DPI-aware, as Windows XP, Vista and 7 do"
                                : "tells such a program 96 and stretches its window, as Windows 8.1 and later do");
    StartFromFreshMedium();

    wchar_t caption[64] = {};
    GetWindowTextW(window_, caption, static_cast<int>(std::size(caption)));
    EXPECT_STREQ(caption, L"Tolvanix");
    const LONG style = GetWindowLongW(window_, GWL_STYLE), exStyle = GetWindowLongW(window_, GWL_EXSTYLE);
    EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW) << "title bar, system menu, sizing frame, min and max";
    EXPECT_FALSE(style & (WS_MINIMIZE | WS_MAXIMIZE));
    EXPECT_FALSE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetWindow(window_, GW_OWNER), nullptr) << "an unowned window shows in the taskbar";

    RECT client;
    GetClientRect(window_, &client);
    const SIZE made = ClientOfAWindowMadeFor(c.client, style, exStyle);
    EXPECT_EQ(client.right, made.cx) << "the layout's " << c.client.cx << " x " << c.client.cy << ", as this system makes it";
    EXPECT_EQ(client.bottom, made.cy) << "the layout's " << c.client.cx << " x " << c.client.cy << ", as this system makes it";
    ExpectCentred();

    int children = 0;
    for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        ++children;
    EXPECT_EQ(children, 3) << "three buttons; the prompt is drawn";
    const std::pair<const wchar_t*, RECT> expected[] = {{L"English", c.english}, {L"German", c.german}, {L"French", c.french}};
    for (const auto& [name, rect] : expected) {
        HWND button = Button(name);
        ASSERT_NE(button, nullptr) << Utf8(name);
        const RECT actual = ClientRectOf(button);
        EXPECT_EQ(actual.left, rect.left) << Utf8(name);
        EXPECT_EQ(actual.top, rect.top) << Utf8(name);
        EXPECT_EQ(actual.right, rect.right) << Utf8(name);
        EXPECT_EQ(actual.bottom, rect.bottom) << Utf8(name);
    }
    EXPECT_EQ(FocusCaption(), "French");
    const RECT prompt = PromptAsAScreenReaderFindsIt(window_, *process_);
    EXPECT_TRUE(EqualRect(&prompt, &c.prompt)) << "a screen reader finds the prompt at " << Box(prompt);
}

INSTANTIATE_TEST_SUITE_P(AtEachDpi, Appearance, testing::ValuesIn(kLayoutAt),
                         [](const testing::TestParamInfo<DpiCase>& info) { return "Dpi" + std::to_string(info.param.dpi); });

// What the screen shows inside the window's client area, read back from the display.
COLORREF ScreenPixel(HWND window, int x, int y)
{
    POINT at{x, y};
    ClientToScreen(window, &at);
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, at.x, at.y);
    ReleaseDC(nullptr, screen);
    return colour;
}

// The screen shows the picture's colours exactly only at 24 bits or more.
bool TrueColourScreen()
{
    HDC screen = GetDC(nullptr);
    const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    return bits >= 24;
}

TEST_F(LauncherRun, TheScreenShowsTheFieldAndTheWhitePrompt)
{
    if (!TrueColourScreen())
        GTEST_SKIP() << "the screen has fewer than 24 bits a pixel, so the picture's colours are not shown exactly";
    StartFromFreshMedium();
    const COLORREF field = kWelcomeFieldColor;
    RECT client;
    GetClientRect(window_, &client);
    // The picture's last pixel inside the client area; it is the field at any DPI.
    const POINT corner{std::min<LONG>(client.right, kPictureWidth) - 1, std::min<LONG>(client.bottom, kPictureHeight) - 1};
    // Points of the field that no control covers at this DPI.
    std::vector<POINT> fieldPoints;
    for (POINT p : {corner, POINT{170, 60}, POINT{650, 100}, POINT{220, 400}, POINT{corner.x, 60}, POINT{400, 170}}) {
        bool covered = false;
        for (const wchar_t* control : {L"Label1", L"Command1", L"Command2", L"Command3"}) {
            const RECT r = LayoutRect(control);
            covered = covered || PtInRect(&r, p);
        }
        if (!covered)
            fieldPoints.push_back(p);
    }
    // Painting follows showing, and a window may still be fading in: wait until the field is on screen.
    ASSERT_TRUE(WaitFor([&] {
        for (POINT p : fieldPoints)
            if (ScreenPixel(window_, p.x, p.y) != field)
                return false;
        return true;
    }, 20000)) << "client's corner pixel is " << Rgb(ScreenPixel(window_, corner.x, corner.y));
    const RECT prompt = LayoutRect(L"Label1");
    int white = 0;
    for (int y = prompt.top; y < prompt.bottom; y += 1)
        for (int x = prompt.left; x < prompt.right; x += 2)
            white += ScreenPixel(window_, x, y) == RGB(255, 255, 255);
    EXPECT_GT(white, 80) << "white prompt pixels inside the label's rectangle";
    for (int x = prompt.left; x < std::min<LONG>(prompt.right, kPictureWidth); x += 8)  // the field right above the prompt
        EXPECT_EQ(Rgb(ScreenPixel(window_, x, prompt.top - 1)), Rgb(field)) << x;
}

// The user's high-contrast setting, switched by a test and put back as it was when the test ends,
// however it ends. Switched for this sign-in only, so that a run cut short leaves nothing to the next.
class HighContrastSwitch {
public:
    HighContrastSwitch()
    {
        before_.cbSize = sizeof before_;
        SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof before_, &before_, 0);
        if (before_.lpszDefaultScheme)
            scheme_ = before_.lpszDefaultScheme;
    }
    ~HighContrastSwitch()
    {
        if (switched_)
            Set(WasOn());
    }
    HighContrastSwitch(const HighContrastSwitch&) = delete;
    HighContrastSwitch& operator=(const HighContrastSwitch&) = delete;
    bool WasOn() const { return before_.dwFlags & HCF_HIGHCONTRASTON; }
    // 0 when the system took it, or the error it refused it with.
    DWORD Set(bool on)
    {
        HIGHCONTRASTW setting = before_;
        setting.lpszDefaultScheme = scheme_.empty() ? nullptr : scheme_.data();
        setting.dwFlags = on ? before_.dwFlags | HCF_HIGHCONTRASTON : before_.dwFlags & ~HCF_HIGHCONTRASTON;
        if (!SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof setting, &setting, SPIF_SENDCHANGE))
            return GetLastError();
        switched_ = on != WasOn();
        return 0;
    }

private:
    HIGHCONTRASTW before_{};
    std::wstring scheme_;
    bool switched_ = false;
};

TEST_F(LauncherRun, HighContrastSwitchedWhileOpenRepaintsInTheThemesColours)
{
    if (!TrueColourScreen())
        GTEST_SKIP() << "the screen has fewer than 24 bits a pixel, so the picture's colours are not shown exactly";
    HighContrastSwitch setting;
    StartFromFreshMedium();
    const RECT prompt = LayoutRect(L"Label1");
    const POINT field{200, 400};  // of the picture, where no control stands at any DPI
    // Switched the other way and back, with the launcher open: on, a dialog's colours as the theme
    // now gives them, the face where the picture was; off, the picture and the white prompt.
    for (const bool on : {!setting.WasOn(), setting.WasOn()}) {
        SCOPED_TRACE(on ? "high contrast on" : "high contrast off");
        const DWORD refused = setting.Set(on);
        if (refused && IsWine())
            GTEST_SKIP() << "Wine refuses SPI_SETHIGHCONTRAST (error " << refused << "), so only Windows can switch high contrast; "
                         << "HighContrast.* show the window in a theme's colours, given in process";
        ASSERT_EQ(refused, 0u) << "the system refused to switch high contrast " << (on ? "on" : "off");
        // Windows may apply a theme some time after the switch returns: its colours are asked anew.
        const auto face = [&] { return on ? GetSysColor(COLOR_3DFACE) : kWelcomeFieldColor; };
        const auto text = [&] { return on ? GetSysColor(COLOR_WINDOWTEXT) : RGB(255, 255, 255); };
        EXPECT_TRUE(WaitFor([&] { return ScreenPixel(window_, field.x, field.y) == face(); }))
            << "the picture's field shows " << Rgb(ScreenPixel(window_, field.x, field.y)) << ", not " << Rgb(face());
        int letters = 0;
        EXPECT_TRUE(WaitFor([&] {
            letters = 0;
            for (int y = prompt.top; y < prompt.bottom; ++y)
                for (int x = prompt.left; x < prompt.right; x += 2)
                    letters += ScreenPixel(window_, x, y) == text();
            return letters > 80;
        }, 20000)) << letters << " prompt pixels in " << Rgb(text());
    }
    PostMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Ended());
}

// --- Keyboard and mouse -----------------------------------------------------------------

TEST_F(LauncherRun, TabWalksFrenchGermanEnglishAndShiftTabWalksBack)
{
    StartFromFreshMedium();
    EXPECT_EQ(FocusCaption(), "French");
    const wchar_t* forward[] = {L"German", L"English", L"French", L"German"};
    for (const wchar_t* next : forward) {
        PressKey(VK_TAB);
        EXPECT_TRUE(WaitForFocusOn(next)) << "Tab should reach " << Utf8(next) << ", focus is on " << FocusCaption();
    }
    const wchar_t* backward[] = {L"French", L"English", L"German"};
    for (const wchar_t* next : backward) {
        PressKey(VK_TAB, Modifier::Shift);
        EXPECT_TRUE(WaitForFocusOn(next)) << "Shift+Tab should reach " << Utf8(next) << ", focus is on " << FocusCaption();
    }
    PressKey(VK_ESCAPE);
    PressKey(VK_TAB);  // a key after Escape still reaches the open window
    EXPECT_TRUE(WaitForFocusOn(L"English"));
    EXPECT_FALSE(Ended(0)) << "Escape closed the launcher";
    EXPECT_EQ(Record(), "");
}

struct KeyCase {
    const char* name;
    int tabs;
    WORD key;
    const wchar_t* language;
};

class KeyLaunch : public LauncherRun, public testing::WithParamInterface<KeyCase> {};

TEST_P(KeyLaunch, LaunchesTheFocusedLanguageAndEnds)
{
    const KeyCase& c = GetParam();
    StartFromFreshMedium();
    const wchar_t* tabOrder[] = {L"French", L"German", L"English"};
    for (int i = 1; i <= c.tabs; ++i) {
        PressKey(VK_TAB);
        ASSERT_TRUE(WaitForFocusOn(tabOrder[i]));
    }
    ASSERT_TRUE(WaitForFocusOn(c.language));
    PressKey(c.key);
    const std::string record = WaitForStart();
    EXPECT_TRUE(Ended()) << "the launcher is still running";
    EXPECT_EQ(CountRecords(record), 1) << record;
    EXPECT_EQ(RecordField(record, "path"), Utf8((medium_ / c.language / L"setup.exe").wstring()));
}

INSTANTIATE_TEST_SUITE_P(EnterAndSpace, KeyLaunch,
                         testing::Values(KeyCase{"EnterOnFrench", 0, VK_RETURN, L"French"},
                                         KeyCase{"SpaceOnFrench", 0, VK_SPACE, L"French"},
                                         KeyCase{"EnterOnGerman", 1, VK_RETURN, L"German"},
                                         KeyCase{"SpaceOnEnglish", 2, VK_SPACE, L"English"},
                                         KeyCase{"EnterOnEnglish", 2, VK_RETURN, L"English"}),
                         [](const testing::TestParamInfo<KeyCase>& info) { return info.param.name; });

TEST_F(LauncherRun, AClickLaunchesTheClickedLanguage)
{
    StartFromFreshMedium();
    ASSERT_TRUE(ClickOn(Button(L"English")));
    const std::string record = WaitForStart();
    EXPECT_TRUE(Ended());
    EXPECT_EQ(CountRecords(record), 1);
    EXPECT_EQ(RecordField(record, "path"), Utf8((medium_ / L"English\\setup.exe").wstring()));
}

TEST_F(LauncherRun, AClickOnThePromptDoesNothing)
{
    StartFromFreshMedium();
    const RECT label = LayoutRect(L"Label1");
    POINT prompt{label.left + 16, label.top + 10};
    ClientToScreen(window_, &prompt);
    ASSERT_TRUE(ClickAt(prompt));
    PressKey(VK_TAB);  // the click left the focus where it was: Tab goes on from French
    EXPECT_TRUE(WaitForFocusOn(L"German"));
    EXPECT_FALSE(Ended(0));
}

// A plain window of the test's own, on a thread of its own that runs its messages, where it does
// not cover `clear`: a corner of the work area.
class OtherWindow {
public:
    explicit OtherWindow(const RECT& clear)
    {
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        constexpr int kWidth = 120, kHeight = 80, kInset = 10;
        for (POINT corner : {POINT{work.left + kInset, work.top + kInset}, POINT{work.right - kInset - kWidth, work.top + kInset},
                             POINT{work.left + kInset, work.bottom - kInset - kHeight},
                             POINT{work.right - kInset - kWidth, work.bottom - kInset - kHeight}}) {
            const RECT place{corner.x, corner.y, corner.x + kWidth, corner.y + kHeight};
            RECT overlap;
            if (!IntersectRect(&overlap, &place, &clear)) {
                place_ = place;
                break;
            }
        }
        if (IsRectEmpty(&place_))
            return;
        HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this, created] {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = WindowProc;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
            windowClass.lpszClassName = L"TolvanixTestOtherWindow";
            RegisterClassW(&windowClass);
            window_ = CreateWindowExW(0, windowClass.lpszClassName, L"Another window", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE,
                                      place_.left, place_.top, place_.right - place_.left, place_.bottom - place_.top,
                                      nullptr, nullptr, windowClass.hInstance, nullptr);
            SetEvent(created);
            MSG message;
            while (window_ && GetMessageW(&message, nullptr, 0, 0) > 0)
                DispatchMessageW(&message);
        });
        WaitForSingleObject(created, 30000);
        CloseHandle(created);
    }
    ~OtherWindow()
    {
        if (window_)
            PostMessageW(window_, WM_CLOSE, 0, 0);
        if (thread_.joinable())
            thread_.join();
    }
    HWND Handle() const { return window_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcW(window, message, wParam, lParam);
    }

    RECT place_{};
    HWND window_ = nullptr;
    std::thread thread_;
};

TEST_F(LauncherRun, SwitchingAwayAndBackKeepsTheFocusedButton)
{
    StartFromFreshMedium();
    PressKey(VK_TAB);
    ASSERT_TRUE(WaitForFocusOn(L"German"));
    RECT launcher;
    GetWindowRect(window_, &launcher);
    const OtherWindow other(launcher);
    if (!other.Handle())
        GTEST_SKIP() << "no corner of the work area is clear of the launcher for another window";

    // Away by a click on the other window, back by a click on the launcher's picture, where no
    // control stands: the focus comes back to German, and Enter starts German.
    ASSERT_TRUE(ClickOn(other.Handle()));
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == other.Handle(); }, 20000)) << "the other window did not come to the front";
    POINT picture{20, LayoutRect(L"Command3").bottom};
    ClientToScreen(window_, &picture);
    // Wine's display driver may give the front back to the other window a few milliseconds after
    // the click, when it catches up with the display's own focus events of the switch away (seen
    // on a loaded machine: now and then under Wine 8, more often under Wine 10). So the click is
    // made again until the launcher stays in front.
    const auto staysInFront = [&] {
        return WaitFor([&] { return GetForegroundWindow() == window_; }, 10000) &&
               !WaitFor([&] { return GetForegroundWindow() != window_; }, 500);
    };
    bool back = false;
    for (int click = 0; click < 5 && !back; ++click) {
        ASSERT_TRUE(ClickAt(picture));
        back = staysInFront();
    }
    ASSERT_TRUE(back) << "the launcher did not come back to the front";
    EXPECT_TRUE(WaitForFocusOn(L"German")) << "back in the launcher, the focus is on " << FocusCaption();
    PressKey(VK_RETURN);
    const std::string record = WaitForStart();
    EXPECT_TRUE(Ended());
    EXPECT_EQ(CountRecords(record), 1);
    EXPECT_EQ(RecordField(record, "path"), Utf8((medium_ / L"German\\setup.exe").wstring()));
}

TEST_F(LauncherRun, NoDllIsTakenFromBesideTheLauncherOrItsCurrentFolder)
{
    // The launcher's start confines the search of every DLL that system code later loads by its
    // bare name. Where Windows cannot confine it (no SetDefaultDllDirectories), only the current
    // folder leaves it, and Wine keeps even that one.
    const fs::path medium = LayOutMedium();
    Start(medium);
    const wchar_t* const kPlanted = PlantDll(elsewhere_);
    if (Kernel32Export("SetDefaultDllDirectories")) {
        PlantDll(medium);
        EXPECT_FALSE(LoadsIntoLauncher(kPlanted)) << "the launcher's search took a DLL from beside it or from its current folder";
    } else if (!IsWine()) {
        EXPECT_FALSE(LoadsIntoLauncher(kPlanted)) << "the launcher's search took a DLL from its current folder";
    }
    PostMessageW(window_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Ended()) << (IsWindow(window_) ? "the launcher's window is still open" : "the launcher's window is gone, yet it runs on");
}

TEST_F(LauncherRun, AScreenReaderHearsTheDialogAndItsPromptAndAPressStillStartsOneProgram)
{
    StartFromFreshMedium();
    // The accessibility library costs the start nothing: it comes at the first request, and from
    // the system folder.
    EXPECT_EQ(ModuleOf(*process_, L"oleacc.dll"), fs::path()) << "the launcher loaded oleacc.dll before anyone asked";
    {
        // From this process, as a screen reader asks: the client area is a dialog named by the
        // caption and described by the prompt, and its first child is the prompt.
        ScreenReader reader(*process_);
        IAccessible* const client = reader.ObjectOf(window_);
        ASSERT_TRUE(client) << "the launcher offers no accessible object for its client area";
        EXPECT_EQ(_wcsicmp(ModuleOf(*process_, L"oleacc.dll").parent_path().c_str(), SystemFolder().c_str()), 0)
            << "oleacc.dll came from " << Utf8(ModuleOf(*process_, L"oleacc.dll").wstring());
        EXPECT_EQ(reader.Role(client, CHILDID_SELF), ROLE_SYSTEM_DIALOG);
        EXPECT_EQ(reader.Name(client, CHILDID_SELF), "Tolvanix");
        EXPECT_EQ(reader.Description(client, CHILDID_SELF), "Choose your Installation language.");
        const auto [counted, count] = reader.ChildCount(client);
        EXPECT_EQ(counted, S_OK);
        EXPECT_EQ(count, 4);
        EXPECT_EQ(reader.Name(client, 1), "Choose your Installation language.");
        EXPECT_EQ(reader.Role(client, 1), ROLE_SYSTEM_STATICTEXT);

        // Asking changed nothing: Enter on French starts French alone, and the launcher ends.
        PressKey(VK_RETURN);
        const std::string record = WaitForStart();
        EXPECT_TRUE(Ended());
        EXPECT_EQ(CountRecords(record), 1) << record;
        EXPECT_EQ(RecordField(record, "path"), Utf8((medium_ / L"French\\setup.exe").wstring()));
        // The object outlives the launcher here; asking it now fails, and nothing breaks.
        EXPECT_TRUE(FAILED(reader.ChildCount(client).first));
    }
}

TEST_F(LauncherRun, OnOlderWindowsAScreenReaderLoadsNoPlantedAccessibilityLibrary)
{
    // Where kernel32 lacks SetDefaultDllDirectories nothing confines the search for the whole
    // program: the libraries of a screen reader's first request must come from the system folder
    // by themselves, never from beside the launcher or from the folder it was started in. The
    // launcher here plays such a Windows (it is old_windows_launcher.exe under the launcher's name).
    const fs::path medium = LayOutMedium({L"English", L"German", L"French"}, L"old_windows_launcher.exe");
    const fs::path mark = scratch_ / L"planted-mark.txt";
    SetEnvironmentVariableW(L"PLANTED_DLL_MARK", mark.c_str());
    const wchar_t* const libraries[] = {L"oleacc", L"oleaut32"};
    for (const fs::path& folder : {medium, scratch_ / L"elsewhere"})
        for (const wchar_t* library : libraries)
            PlantDll(folder, (std::wstring(library) + L".dll").c_str());
    // Wine takes a DLL of a name it has built in from elsewhere only when told to prefer it.
    if (IsWine())
        for (const wchar_t* library : libraries)
            SetDllOverride(L"Project1.exe", library, L"native,builtin");

    Start(medium);
    ASSERT_TRUE(LoadsIntoLauncher(L"oleacc.dll"));
    ASSERT_NE(ReadText(mark), "") << "a load by name does not find the planted oleacc.dll, so this test proves nothing";
    process_.reset();
    fs::remove(mark);

    Start(medium);
    ScreenReader reader(*process_);
    IAccessible* const client = reader.ObjectOf(window_);
    EXPECT_EQ(ReadText(mark), "") << "a screen reader's first request loaded a planted DLL";
    ASSERT_TRUE(client) << "the launcher offers no accessible object for its client area";
    EXPECT_EQ(reader.Role(client, CHILDID_SELF), ROLE_SYSTEM_DIALOG);
    if (IsWine())
        ClearAppDefaults(L"Project1.exe");
    SetEnvironmentVariableW(L"PLANTED_DLL_MARK", nullptr);
}

// --- The request ------------------------------------------------------------------------

TEST_F(LauncherRun, MakesExactlyTheOneShellRequestAndTheSetupStartsAsAsked)
{
    Start(LayOutMedium(), L"+exec");
    const HWND owner = window_;
    EXPECT_TRUE(IsSingleThreadedApartment(GetWindowThreadProcessId(owner, nullptr)))
        << "the shell would be called from a thread that is no single-threaded COM apartment";
    PressKey(VK_TAB);
    ASSERT_TRUE(WaitForFocusOn(L"German"));
    PressKey(VK_RETURN);
    const std::string record = WaitForStart();
    ASSERT_TRUE(Ended());

    // The request as the setup program sees it, on any Windows.
    const std::string file = Utf8((medium_ / L"German\\setup.exe").wstring());
    EXPECT_EQ(CountRecords(record), 1);
    EXPECT_EQ(RecordField(record, "path"), file);
    EXPECT_EQ(RecordField(record, "cwd"), Utf8(elsewhere_.wstring())) << "the launcher's own current directory";
    EXPECT_EQ(RecordField(record, "show"), "5");
    EXPECT_EQ(RecordField(record, "commandline").find(" -"), std::string::npos) << "no arguments: " << RecordField(record, "commandline");

    // The request as the shell got it. Windows shows no trace of it; there the stand-in shell of
    // PressesWhileTheShellIsStillWorkingMakeNoSecondRequest records the owner and the verb.
    if (!WineMeansAvailable())
        return;
    const std::vector<std::string> requests = ShellRequests();
    ASSERT_EQ(requests.size(), 1u) << "exec log:\n" << ReadText(StderrLog()).substr(static_cast<size_t>(logStart_));
    const std::string& r = requests[0];
    EXPECT_NE(r.find("hwnd=" + Hex(owner) + " "), std::string::npos) << "owner " << Hex(owner) << ": " << r;
    EXPECT_NE(r.find("verb=L\"open\""), std::string::npos) << r;
    EXPECT_NE(r.find("file=L\"" + AsWineTraces((medium_ / L"German\\setup.exe").wstring()) + "\""), std::string::npos) << r;
    EXPECT_NE(r.find("parm=L\"\""), std::string::npos) << "parameters must be an empty string: " << r;
    EXPECT_NE(r.find("dir=L\"\""), std::string::npos) << "directory must be an empty string: " << r;
    EXPECT_NE(r.find("show=0x00000005"), std::string::npos) << r;
}

TEST_F(LauncherRun, FromADriveRootThePathCarriesTwoBackslashesAndStillStarts)
{
    const DriveRoot drive(scratch_);
    ASSERT_FALSE(drive.Root().empty()) << "no drive letter was free to map";
    CopyAfresh(BinDirectory() / L"Project1.exe", drive.Root() / L"Project1.exe");
    LayOutLanguageFolders(drive.Root(), {L"English", L"German", L"French"});
    Start(drive.Root(), L"+exec");
    PressKey(VK_RETURN);
    const std::string record = WaitForStart();
    ASSERT_TRUE(Ended());
    EXPECT_EQ(CountRecords(record), 1);
    EXPECT_NE(RecordField(record, "path").find("French\\setup.exe"), std::string::npos) << record;
    if (WineMeansAvailable()) {
        const std::vector<std::string> requests = ShellRequests();
        ASSERT_EQ(requests.size(), 1u);
        // The request names X:\\French\setup.exe, two backslashes in a row.
        const std::wstring file = drive.Root().wstring().substr(0, 2) + L"\\\\French\\setup.exe";
        EXPECT_NE(requests[0].find("file=L\"" + AsWineTraces(file) + "\""), std::string::npos) << requests[0];
    }
}

TEST_F(LauncherRun, PressesWhileTheShellIsStillWorkingMakeNoSecondRequest)
{
    // A stand-in shell holds the first request and runs the window's messages meanwhile, as the
    // real one does while it waits on COM or on a box the window owns. It takes shell32's place
    // in the launcher before the first press: a later load of a DLL of that name returns it.
    const fs::path requests = scratch_ / L"shell-requests.txt";
    SetEnvironmentVariableW(L"SHELL_STANDIN_RECORD", requests.c_str());
    SetEnvironmentVariableW(L"SHELL_STANDIN_RELEASE", L"LauncherTestShellRelease");
    if (!Kernel32Export("SetDefaultDllDirectories"))
        GTEST_SKIP() << "this Windows has the launcher bind shell32 by its full path in the system folder, which no stand-in can take";
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, L"LauncherTestShellRelease");
    // Wine's loader, unlike Windows's, prefers its own shell32 to a loaded DLL of that name unless
    // told otherwise: this makes it act as Windows does.
    if (IsWine())
        SetDllOverride(L"Project1.exe", L"shell32", L"native,builtin");
    StartFromFreshMedium();
    SetEnvironmentVariableW(L"SHELL_STANDIN_RECORD", nullptr);
    const fs::path before = ModuleOf(*process_, L"shell32.dll");
    const bool loaded = LoadsIntoLauncher(StandInShell32().wstring());
    if (IsWine())
        ClearAppDefaults(L"Project1.exe");
    ASSERT_TRUE(loaded) << "the stand-in shell could not be put into the launcher";
    if (!before.empty())
        GTEST_SKIP() << "this Windows had loaded its shell32 into the launcher before any press (" << Utf8(before.wstring())
                     << "), so no stand-in can take its place";

    ASSERT_TRUE(ClickOn(Button(L"German")));
    ASSERT_TRUE(WaitFor([&] { return ReadText(requests) != "" || Record() != ""; })) << "the press made no request";
    if (ReadText(requests) == "")
        GTEST_SKIP() << "this system gave the launcher its own shell32 although a DLL of that name was loaded, so no stand-in can take its place";
    // While it is held: a click on French, then a BM_CLICK posted to English. Each has been
    // handled once its button holds the focus and is no longer pushed.
    const auto handled = [&](const wchar_t* caption) {
        return WaitFor([&] {
            DWORD_PTR state = BST_PUSHED;
            HWND button = Button(caption);
            SendMessageTimeoutW(button, BM_GETSTATE, 0, 0, SMTO_ABORTIFHUNG, 1000, &state);
            return Focus() == button && !(state & BST_PUSHED);
        }, 20000);
    };
    ASSERT_TRUE(ClickOn(Button(L"French")));
    EXPECT_TRUE(handled(L"French")) << "the click on French was not handled";
    PostMessageW(Button(L"English"), BM_CLICK, 0, 0);
    EXPECT_TRUE(handled(L"English")) << "the posted BM_CLICK was not handled";
    SetEvent(release);
    EXPECT_TRUE(Ended()) << "the launcher did not end once the shell returned";
    CloseHandle(release);

    // One request, the first, with all six arguments as the shell got them.
    const std::string made = ReadText(requests);
    EXPECT_EQ(CountRecords(made), 1) << made;
    EXPECT_EQ(RecordField(made, "owner"), Hex(window_));
    EXPECT_EQ(RecordField(made, "verb"), "open");
    EXPECT_EQ(RecordField(made, "file"), Utf8((medium_ / L"German\\setup.exe").wstring()));
    EXPECT_EQ(RecordField(made, "parameters"), "") << "an empty string, not an absent one";
    EXPECT_EQ(RecordField(made, "directory"), "") << "an empty string, not an absent one";
    EXPECT_EQ(RecordField(made, "show"), "5");
}

// --- Ends -------------------------------------------------------------------------------

TEST_F(LauncherRun, AltF4EndsWithoutARequest)
{
    StartFromFreshMedium();
    PressKey(VK_F4, Modifier::Alt);
    EXPECT_TRUE(Ended()) << "Alt+F4 did not close the launcher";
    EXPECT_EQ(Record(), "");
}

TEST_F(LauncherRun, TheCloseBoxEndsWithoutARequest)
{
    StartFromFreshMedium();
    // The close box is where the window itself says it is: the middle of the run of title-bar
    // points that it answers HTCLOSE for.
    RECT outer;
    GetWindowRect(window_, &outer);
    const int y = outer.top + GetSystemMetrics(SM_CYSIZEFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    int first = -1, last = -1;
    for (int x = outer.right - 1; x > outer.left; --x) {
        DWORD_PTR hit = HTNOWHERE;
        ASSERT_TRUE(SendMessageTimeoutW(window_, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_NORMAL, kAnswerLimitMs, &hit))
            << NoAnswer("WM_NCHITTEST", *process_);
        const bool close = hit == HTCLOSE;
        if (close && last < 0)
            last = x;
        if (close)
            first = x;
        else if (last >= 0)
            break;
    }
    ASSERT_GE(first, 0) << "no close box in the title bar";
    ASSERT_TRUE(ClickAt({(first + last) / 2, y}));
    EXPECT_TRUE(Ended()) << "the close box did not close the launcher";
    EXPECT_EQ(Record(), "");
}

TEST_F(LauncherRun, TheSystemMenusCloseEndsWithoutARequest)
{
    StartFromFreshMedium();
    PostMessageW(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(Ended());
    EXPECT_EQ(Record(), "");
}

TEST_F(LauncherRun, AMissingSetupProgramStillEndsTheLauncherWithNothingOfItsOwn)
{
    Start(LayOutMedium({L"English", L"German"}));  // no French
    const HWND launcherWindow = window_;
    PressKey(VK_RETURN);
    // The launcher ends. Windows's shell first shows a box of its own about the missing program,
    // owned by the launcher's window, and returns once it is answered; Wine's shows none.
    std::vector<Process::Box> boxes;
    EXPECT_NE(process_->WaitForExitClosingBoxes(boxes), -1) << "the launcher waits for something after a failed request";
    for (const Process::Box& box : boxes) {
        EXPECT_NE(box.caption, L"Project1") << "the launcher showed a box of its own: " << Utf8(box.text);
        EXPECT_EQ(box.owner, launcherWindow) << "the shell's box is not owned by the launcher's window";
    }
    EXPECT_EQ(Record(), "");
}

TEST_F(LauncherRun, AMissingShellIsReportedAndNothingStarts)
{
    if (!WineMeansAvailable())
        GTEST_SKIP() << "Windows cannot take its shell32 away from one program; "
                        "ShellBinding.AMissingShellIsReportedInABoxCaptionedProject1 shows the same box with a loader that finds none";
    const fs::path medium = LayOutMedium({L"French"});
    SetDllOverride(L"Project1.exe", L"shell32", L"");
    Start(medium);
    PressKey(VK_RETURN);
    HWND box = nullptr;
    const bool shown = WaitFor([&] { return (box = FindProcessWindow(process_->Id(), L"#32770", L"Project1")) != nullptr; });
    ClearAppDefaults(L"Project1.exe");
    ASSERT_TRUE(shown) << "no box captioned Project1";
    EXPECT_FALSE(Ended(500)) << "the launcher ended before the box was dismissed";
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(Ended());
    EXPECT_EQ(Record(), "");
}

// --- Each Windows that Wine imitates ---------------------------------------------------

struct WindowsCase {
    const char* name;
    const wchar_t* wineVersion;
    const char* reported;  // as the started setup program reads it
};

class OnWindows : public LauncherRun, public testing::WithParamInterface<WindowsCase> {
protected:
    void TearDown() override
    {
        if (WineMeansAvailable())
            for (const wchar_t* program : {L"Project1.exe", L"setup.exe"})
                ClearAppDefaults(program);
        LauncherRun::TearDown();
    }
};

TEST_P(OnWindows, OpensCentredWithFrenchFocusedAndEnterStartsFrench)
{
    if (WineMeansAvailable())
        for (const wchar_t* program : {L"Project1.exe", L"setup.exe"})
            ImitateWindows(program, GetParam().wineVersion);
    else if (WindowsVersion() != GetParam().reported)
        GTEST_SKIP() << "this is Windows " << WindowsVersion() << ", and only Wine can play another";
    StartFromFreshMedium();
    ExpectCentred();
    EXPECT_EQ(FocusCaption(), "French");
    PressKey(VK_RETURN);
    const std::string record = WaitForStart();
    EXPECT_TRUE(Ended()) << "the launcher is still running";
    EXPECT_EQ(CountRecords(record), 1) << record;
    EXPECT_EQ(RecordField(record, "path"), Utf8((medium_ / L"French\\setup.exe").wstring()));
    EXPECT_EQ(RecordField(record, "windows"), GetParam().reported) << "not the Windows intended";
}

INSTANTIATE_TEST_SUITE_P(AsWineImitatesThem, OnWindows,
                         testing::Values(WindowsCase{"WindowsXP", L"winxp", "5.1"}, WindowsCase{"Windows7", L"win7", "6.1"},
                                         WindowsCase{"Windows10", L"win10", "10.0"}),
                         [](const testing::TestParamInfo<WindowsCase>& info) { return info.param.name; });

// --- Resizing ---------------------------------------------------------------------------

TEST_F(LauncherRun, MaximisedTheControlsStayAndTheRestIsButtonFace)
{
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    if (work.right - work.left <= kPictureWidth + 40 || work.bottom - work.top <= kPictureHeight + 80)
        GTEST_SKIP() << "the work area (" << work.right - work.left << " x " << work.bottom - work.top
                     << ") is too small for the maximised window to reach beyond the picture";
    if (!TrueColourScreen())
        GTEST_SKIP() << "the screen has fewer than 24 bits a pixel, so the picture's colours are not shown exactly";
    StartFromFreshMedium();
    const RECT french = ClientRectOf(Button(L"French"));
    PostMessageW(window_, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    // The window is marked maximised before it grows, so the wait is for the larger client area.
    RECT client{};
    ASSERT_TRUE(WaitFor([&] {
        return IsZoomed(window_) && GetClientRect(window_, &client) && client.right > 686 && client.bottom > 450;
    })) << "maximised, the client area is " << client.right << " x " << client.bottom;
    const COLORREF buttonFace = GetSysColor(COLOR_BTNFACE);
    // Read from the window's own surface: for a maximised window the screen is no witness under
    // Wine 10, whose virtual desktop shows the window's frame inside the screen, a frame's width
    // right of and below where the window says it stands (Windows shows it beyond the screen's
    // edge). The middle of what lies beyond the picture: a window that a frame's width of the
    // screen cuts off shows nothing at its far corner.
    const POINT beyond{(kPictureWidth + client.right) / 2, (kPictureHeight + client.bottom) / 2};
    ASSERT_TRUE(WaitFor([&] { return WindowPixel(window_, beyond.x, beyond.y) == buttonFace; }, 20000))
        << Rgb(WindowPixel(window_, beyond.x, beyond.y));
    EXPECT_EQ(Rgb(WindowPixel(window_, 686, 100)), Rgb(buttonFace)) << "right of the picture";
    EXPECT_EQ(Rgb(WindowPixel(window_, 100, 450)), Rgb(buttonFace)) << "below the picture";
    EXPECT_EQ(Rgb(WindowPixel(window_, 685, 449)), Rgb(kWelcomeFieldColor)) << "the picture's last pixel";
    const RECT after = ClientRectOf(Button(L"French"));
    EXPECT_EQ(after.left, french.left);
    EXPECT_EQ(after.top, french.top);
    EXPECT_EQ(after.right, french.right);
    EXPECT_EQ(after.bottom, french.bottom);
    PostMessageW(window_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(window_) != FALSE; }));
    PostMessageW(window_, WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsIconic(window_); }));
    EXPECT_FALSE(Ended(0));
}

}  // namespace
