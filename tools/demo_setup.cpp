// The setup program of the demonstration medium: a window in its own language saying that the
// installation would begin, so a person sees which one the launcher started. Built once per
// language, with DEMO_LANGUAGE naming the row of the table below.

#include <windows.h>

namespace {

struct DemoText {
    const wchar_t* title;
    const wchar_t* message;
};

constexpr DemoText kTexts[] = {
    {L"Tolvanix Setup", L"The English installation would begin now."},
    {L"Tolvanix Setup", L"Die deutsche Installation w\u00fcrde jetzt beginnen."},
    {L"Installation de Tolvanix", L"L'installation fran\u00e7aise commencerait maintenant."},
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const DemoText& text = kTexts[DEMO_LANGUAGE];
    MessageBoxW(nullptr, text.message, text.title, MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
    return 0;
}
