#include "language_choice.h"

const LanguageChoice* ChoiceForControl(std::wstring_view controlName)
{
    for (const LanguageChoice& choice : kLanguageChoices)
        if (choice.controlName == controlName)
            return &choice;
    return nullptr;
}
