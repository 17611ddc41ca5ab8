// Project1.exe end to end: started from a medium that the test lays out, looked at and driven
// through the Windows API with real input, in Wine's virtual desktop.

#include <gtest/gtest.h>

#include <regex>

#include "resources/welcome_picture.h"
#include "support.h"

namespace {

constexpr int kScreenWidth = 1024, kScreenHeight = 768;

fs::path StderrLog()
{
    wchar_t path[1024] = {};
    GetEnvironmentVariableW(L"WINE_STDERR_WINDOWS_PATH", path, static_cast<DWORD>(std::size(path)));
    return path;
}

void SetDpi(DWORD dpi)
{
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
}

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
        SetEnvironmentVariableW(L"WINEDEBUG", environmentDebug.c_str());
        logStart_ = fs::exists(StderrLog()) ? fs::file_size(StderrLog()) : 0;
        process_ = std::make_unique<Process>(medium / L"Project1.exe", L"", elsewhere_);
        SetEnvironmentVariableW(L"WINEDEBUG", L"-all");
        ASSERT_TRUE(process_->Started());
        window_ = WaitForReadyWindow(process_->Id(), L"Tolvanix");
        ASSERT_NE(window_, nullptr) << "the launcher's window did not come to the front with a button focused";
    }

    void StartFromFreshMedium()
    {
        const fs::path medium = scratch_ / L"medium";
        fs::create_directories(medium);
        fs::copy_file(BinDirectory() / L"Project1.exe", medium / L"Project1.exe", fs::copy_options::overwrite_existing);
        LayOutLanguageFolders(medium, {L"English", L"German", L"French"});
        Start(medium);
    }

    void SetUp() override
    {
        scratch_ = FreshScratch(testing::UnitTest::GetInstance()->current_test_info()->name());
        // Each run starts with the pointer away from where the launcher's buttons will be.
        ParkPointer();
    }
    void TearDown() override { SetDpi(96); }

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

    bool WaitForFocusOn(const wchar_t* caption)
    {
        return WaitFor([&] { return Focus() == Button(caption); }, 20000);
    }

    bool Ended(DWORD timeoutMs = 60000) { return process_->WaitForExit(timeoutMs) != -1; }
    std::string Record() const { return ReadText(record_); }
    // Waits for the stand-in's record of one start.
    std::string WaitForStart()
    {
        WaitFor([&] { return Record().find("end\n") != std::string::npos; });
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

// COM gives each single-threaded apartment a message-only window of this class on its thread.
bool IsSingleThreadedApartment(DWORD thread)
{
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, L"OleMainThreadWndClass", nullptr); window;
         window = FindWindowExW(HWND_MESSAGE, window, L"OleMainThreadWndClass", nullptr))
        if (GetWindowThreadProcessId(window, nullptr) == thread)
            return true;
    return false;
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
    RECT english, german, french;
};

class Appearance : public LauncherRun, public testing::WithParamInterface<DpiCase> {};

TEST_P(Appearance, WindowAndButtonsStandWhereTheLayoutPutsThem)
{
    const DpiCase& c = GetParam();
    SetDpi(c.dpi);
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
    EXPECT_EQ(client.right, c.client.cx);
    EXPECT_EQ(client.bottom, c.client.cy);
    RECT outer;
    GetWindowRect(window_, &outer);
    EXPECT_NEAR(outer.left + outer.right, kScreenWidth, 1) << "centred across";
    EXPECT_NEAR(outer.top + outer.bottom, kScreenHeight, 1) << "centred down";

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
}

INSTANTIATE_TEST_SUITE_P(
    AtEachDpi, Appearance,
    testing::Values(DpiCase{96, {685, 447}, {224, 184, 593, 217}, {224, 248, 593, 281}, {224, 312, 593, 345}},
                    DpiCase{120, {856, 559}, {280, 230, 741, 271}, {280, 310, 741, 351}, {280, 390, 741, 431}},
                    DpiCase{144, {1028, 671}, {336, 276, 890, 326}, {336, 372, 890, 422}, {336, 468, 890, 518}}),
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

std::string Rgb(COLORREF c)
{
    return std::to_string(GetRValue(c)) + "," + std::to_string(GetGValue(c)) + "," + std::to_string(GetBValue(c));
}

TEST_F(LauncherRun, TheScreenShowsTheFieldAndTheWhitePrompt)
{
    StartFromFreshMedium();
    const COLORREF field = kWelcomeFieldColor;
    // Painting follows showing; wait until the field is on screen.
    ASSERT_TRUE(WaitFor([&] { return ScreenPixel(window_, 684, 446) == field; }, 20000))
        << "client's bottom-right pixel is " << Rgb(ScreenPixel(window_, 684, 446));
    for (POINT p : {POINT{170, 60}, POINT{650, 100}, POINT{220, 400}, POINT{684, 60}, POINT{400, 170}})
        EXPECT_EQ(Rgb(ScreenPixel(window_, p.x, p.y)), Rgb(field)) << p.x << "," << p.y;
    int white = 0;
    for (int y = 120; y < 161; y += 1)
        for (int x = 224; x < 641; x += 2)
            white += ScreenPixel(window_, x, y) == RGB(255, 255, 255);
    EXPECT_GT(white, 80) << "white prompt pixels inside the label's rectangle";
    for (int x = 224; x < 641; x += 8)  // the field right above and below the prompt's rectangle
        EXPECT_EQ(Rgb(ScreenPixel(window_, x, 119)), Rgb(field)) << x;
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
    EXPECT_EQ(CountStarts(record), 1) << record;
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
    EXPECT_EQ(CountStarts(record), 1);
    EXPECT_EQ(RecordField(record, "path"), Utf8((medium_ / L"English\\setup.exe").wstring()));
}

TEST_F(LauncherRun, AClickOnThePromptDoesNothing)
{
    StartFromFreshMedium();
    POINT prompt{240, 130};
    ClientToScreen(window_, &prompt);
    ASSERT_TRUE(ClickAt(prompt));
    PressKey(VK_TAB);  // the click left the focus where it was: Tab goes on from French
    EXPECT_TRUE(WaitForFocusOn(L"German"));
    EXPECT_FALSE(Ended(0));
}

// --- The request ------------------------------------------------------------------------

TEST_F(LauncherRun, MakesExactlyTheOneShellRequestAndTheSetupStartsAsAsked)
{
    const fs::path medium = scratch_ / L"medium";
    fs::create_directories(medium);
    fs::copy_file(BinDirectory() / L"Project1.exe", medium / L"Project1.exe");
    LayOutLanguageFolders(medium, {L"English", L"German", L"French"});
    Start(medium, L"+exec");
    const HWND owner = window_;
    EXPECT_TRUE(IsSingleThreadedApartment(GetWindowThreadProcessId(owner, nullptr)))
        << "the shell would be called from a thread that is no single-threaded COM apartment";
    PressKey(VK_TAB);
    ASSERT_TRUE(WaitForFocusOn(L"German"));
    PressKey(VK_RETURN);
    const std::string record = WaitForStart();
    ASSERT_TRUE(Ended());

    const std::vector<std::string> requests = ShellRequests();
    ASSERT_EQ(requests.size(), 1u) << "exec log:\n" << ReadText(StderrLog()).substr(static_cast<size_t>(logStart_));
    const std::string& r = requests[0];
    EXPECT_NE(r.find("hwnd=" + Hex(owner) + " "), std::string::npos) << "owner " << Hex(owner) << ": " << r;
    EXPECT_NE(r.find("verb=L\"open\""), std::string::npos) << r;
    std::string file = Utf8((medium / L"German\\setup.exe").wstring());
    std::string escaped;
    for (char ch : file)
        escaped += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
    EXPECT_NE(r.find("file=L\"" + escaped + "\""), std::string::npos) << r;
    EXPECT_NE(r.find("parm=L\"\""), std::string::npos) << "parameters must be an empty string: " << r;
    EXPECT_NE(r.find("dir=L\"\""), std::string::npos) << "directory must be an empty string: " << r;
    EXPECT_NE(r.find("show=0x00000005"), std::string::npos) << r;

    EXPECT_EQ(CountStarts(record), 1);
    EXPECT_EQ(RecordField(record, "path"), file);
    EXPECT_EQ(RecordField(record, "cwd"), Utf8(elsewhere_.wstring())) << "the launcher's own current directory";
    EXPECT_EQ(RecordField(record, "show"), "5");
}

TEST_F(LauncherRun, FromADriveRootThePathCarriesTwoBackslashesAndStillStarts)
{
    // M: is the session's drive; this medium is its root.
    EmptyFolder(L"M:\\");
    fs::copy_file(BinDirectory() / L"Project1.exe", L"M:\\Project1.exe");
    LayOutLanguageFolders(L"M:\\", {L"English", L"German", L"French"});
    Start(L"M:\\", L"+exec");
    PressKey(VK_RETURN);
    const std::string record = WaitForStart();
    ASSERT_TRUE(Ended());
    const std::vector<std::string> requests = ShellRequests();
    ASSERT_EQ(requests.size(), 1u);
    // The log doubles each backslash: the request names M:\\French\setup.exe.
    EXPECT_NE(requests[0].find(R"(file=L"M:\\\\French\\setup.exe")"), std::string::npos) << requests[0];
    EXPECT_EQ(CountStarts(record), 1);
    EXPECT_NE(RecordField(record, "path").find("French\\setup.exe"), std::string::npos) << record;
}

TEST_F(LauncherRun, PressesWhileTheShellIsStillWorkingMakeNoSecondRequest)
{
    // A stand-in shell holds the first request and runs the window's messages meanwhile, as the
    // real one does while it waits on COM or on a box the window owns.
    const fs::path requests = scratch_ / L"shell-requests.txt";
    SetEnvironmentVariableW(L"SHELL_STANDIN_RECORD", requests.c_str());
    SetEnvironmentVariableW(L"SHELL_STANDIN_RELEASE", L"LauncherTestShellRelease");
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, L"LauncherTestShellRelease");
    // Wine would load its own shell32 even when asked for this file by its full path.
    SetDllOverride(L"Project1.exe", L"shell32", L"native,builtin");
    StartFromFreshMedium();
    SetEnvironmentVariableW(L"SHELL_STANDIN_RECORD", nullptr);
    const bool loaded = LoadIntoProcess(*process_, BinDirectory().parent_path() / L"standin\\shell32.dll");
    ClearAppDefaults(L"Project1.exe");
    ASSERT_TRUE(loaded) << "the stand-in shell could not be put into the launcher";

    ASSERT_TRUE(ClickOn(Button(L"German")));
    ASSERT_TRUE(WaitFor([&] { return ReadText(requests) != ""; })) << "the stand-in shell got no request";
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
    EXPECT_EQ(ReadText(requests), Utf8((medium_ / L"German\\setup.exe").wstring()) + "\n") << "one request, the first";
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
        const bool close = SendMessageW(window_, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE;
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
    const fs::path medium = scratch_ / L"medium";
    fs::create_directories(medium);
    fs::copy_file(BinDirectory() / L"Project1.exe", medium / L"Project1.exe");
    LayOutLanguageFolders(medium, {L"English", L"German"});  // no French
    Start(medium);
    const DWORD launcher = process_->Id();
    PressKey(VK_RETURN);
    // The launcher ends; any box still open would be the shell's, owned by the gone window.
    EXPECT_TRUE(Ended()) << "the launcher waits for something after a failed request";
    EXPECT_EQ(FindProcessWindow(launcher, L"#32770", L"Project1"), nullptr);
    EXPECT_EQ(Record(), "");
}

TEST_F(LauncherRun, AMissingShellIsReportedAndNothingStarts)
{
    const fs::path medium = scratch_ / L"medium";
    fs::create_directories(medium);
    fs::copy_file(BinDirectory() / L"Project1.exe", medium / L"Project1.exe");
    LayOutLanguageFolders(medium, {L"French"});
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

// --- Each Windows that Wine imitates -----------------------------------------------------

struct WindowsCase {
    const char* name;
    const wchar_t* wineVersion;
    const char* reported;  // as the started setup program reads it
};

class OnWindows : public LauncherRun, public testing::WithParamInterface<WindowsCase> {
protected:
    void TearDown() override
    {
        for (const wchar_t* program : {L"Project1.exe", L"setup.exe"})
            ClearAppDefaults(program);
        LauncherRun::TearDown();
    }
};

TEST_P(OnWindows, OpensCentredWithFrenchFocusedAndEnterStartsFrench)
{
    for (const wchar_t* program : {L"Project1.exe", L"setup.exe"})
        ImitateWindows(program, GetParam().wineVersion);
    StartFromFreshMedium();
    RECT outer;
    GetWindowRect(window_, &outer);
    EXPECT_NEAR(outer.left + outer.right, kScreenWidth, 1) << "centred across";
    EXPECT_NEAR(outer.top + outer.bottom, kScreenHeight, 1) << "centred down";
    EXPECT_EQ(FocusCaption(), "French");
    PressKey(VK_RETURN);
    const std::string record = WaitForStart();
    EXPECT_TRUE(Ended()) << "the launcher is still running";
    EXPECT_EQ(CountStarts(record), 1) << record;
    EXPECT_EQ(RecordField(record, "path"), Utf8((medium_ / L"French\\setup.exe").wstring()));
    EXPECT_EQ(RecordField(record, "windows"), GetParam().reported) << "Wine did not imitate that Windows";
}

INSTANTIATE_TEST_SUITE_P(AsWineImitatesThem, OnWindows,
                         testing::Values(WindowsCase{"WindowsXP", L"winxp", "5.1"}, WindowsCase{"Windows7", L"win7", "6.1"},
                                         WindowsCase{"Windows10", L"win10", "10.0"}),
                         [](const testing::TestParamInfo<WindowsCase>& info) { return info.param.name; });

// --- Resizing ---------------------------------------------------------------------------

TEST_F(LauncherRun, MaximisedTheControlsStayAndTheRestIsButtonFace)
{
    StartFromFreshMedium();
    const RECT french = ClientRectOf(Button(L"French"));
    PostMessageW(window_, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    // The window is marked maximised before it grows, so the wait is for the larger client area.
    RECT client{};
    ASSERT_TRUE(WaitFor([&] {
        return IsZoomed(window_) && GetClientRect(window_, &client) && client.right > 686 && client.bottom > 450;
    })) << "maximised, the client area is " << client.right << " x " << client.bottom;
    const COLORREF buttonFace = GetSysColor(COLOR_BTNFACE);
    ASSERT_TRUE(WaitFor([&] { return ScreenPixel(window_, client.right - 1, client.bottom - 1) == buttonFace; }, 20000))
        << Rgb(ScreenPixel(window_, client.right - 1, client.bottom - 1));
    EXPECT_EQ(Rgb(ScreenPixel(window_, 686, 100)), Rgb(buttonFace)) << "right of the picture";
    EXPECT_EQ(Rgb(ScreenPixel(window_, 100, 450)), Rgb(buttonFace)) << "below the picture";
    EXPECT_EQ(Rgb(ScreenPixel(window_, 685, 449)), Rgb(kWelcomeFieldColor)) << "the picture's last pixel";
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
