#pragma once
// The three languages of the medium, one row per button of the launcher window.

#include <array>
#include <string_view>

struct LanguageChoice {
    std::wstring_view controlName;  // the button's name on the window
    std::wstring_view caption;      // the language's display name on the button
    std::wstring_view pathSuffix;   // appended to the launcher directory to name the setup program
};

// In the order the buttons are stored on the window.
inline constexpr std::array<LanguageChoice, 3> kLanguageChoices{{
    {L"Command1", L"English", L"\\English\\setup.exe"},
    {L"Command2", L"German", L"\\German\\setup.exe"},
    {L"Command3", L"French", L"\\French\\setup.exe"},
}};

// The row of the button with this name, or nullptr for a name that is none of the three.
const LanguageChoice* ChoiceForControl(std::wstring_view controlName);
