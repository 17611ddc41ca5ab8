#pragma once
#include "language_choice.h"
#include "launcher_shell.h"

// What a button press does: one request to the shell for the choice's setup program, then the
// end of the program, whatever the shell answered. A failing query of the window or the
// directory is fatal and makes no request.
void LaunchChoice(const LanguageChoice& choice, LauncherShell& shell, AnsiConverter toAnsi);
