#pragma once
// The launcher's one window, Form1, built from the layout description: the picture, the drawn
// prompt and three push buttons. A press hands the button's name to the launch logic.

#include <windows.h>

#include <array>

#include "accessible_win32.h"
#include "dll_search_win32.h"
#include "form_description.h"
#include "handles_win32.h"
#include "launch_choice.h"
#include "picture_win32.h"

class LauncherWindow {
public:
    // Creates the window, centred on the screen but not yet shown; the window owns the object
    // from then on and deletes it with itself. Null when it cannot be made. The picture comes from
    // `loadPicture`: the launcher's own LoadWelcomePicture decodes it, the benchmark's floor hands
    // it over ready (picture_win32.h). `lookup` finds kernel32's exports, for the accessibility
    // library's load.
    static HWND Create(HINSTANCE instance, LauncherShell& shell, PictureLoader loadPicture, Kernel32Lookup lookup);
    // Shows the window in its normal state with the focus on the form's first tab stop.
    static void Show(HWND window);

private:
    LauncherWindow(HINSTANCE instance, LauncherShell& shell, PictureLoader loadPicture, Kernel32Lookup lookup);
    static LauncherWindow* From(HWND window);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    bool OnCreate();
    void OnPaint();
    void OnPrintClient(HDC dc);
    // Draws the client area; painting and printing both come here.
    void PaintContent(HDC dc, const RECT& area) const;
    void OnSettingChange(WPARAM setting);
    void OnSysColorChange();
    void ReadColours();
    RECT PromptRect() const;
    void OnCommand(int id, int notification);
    void OnActivate(WPARAM state);
    void OnSetFocus();
    LRESULT OnGetObject(WPARAM flags, LPARAM objectId);
    void Activate(HWND button);

    HINSTANCE instance_;
    LaunchSequence launch_;
    PictureLoader loadPicture_;
    Kernel32Lookup lookup_;
    HWND window_ = nullptr;
    int dpiX_ = 96, dpiY_ = 96;
    std::array<HWND, 3> buttons_{};  // in stored order; children, destroyed with the window
    HWND focusWhenInactive_ = nullptr;
    // What a paint draws in, read when the window is made and again when the system says its
    // high-contrast setting or its colours changed: in high contrast, a dialog's colours and no
    // picture.
    bool highContrast_ = false;
    COLORREF backColour_ = 0, promptColour_ = 0;

    // Declared so that they go in a safe order: the picture leaves its DC before either goes.
    UniqueIcon smallIcon_, largeIcon_;
    UniqueFont buttonFont_, labelFont_;
    WelcomePicture picture_;
    UniqueMemoryDc pictureDc_;
    Selection pictureSelection_;
    // Made at a screen reader's first request; it goes with the window, while the reader may
    // keep the object longer.
    UniqueAccessible accessible_;
};
