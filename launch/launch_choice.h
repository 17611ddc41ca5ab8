#pragma once
#include "language_choice.h"
#include "launcher_shell.h"

// What a button press does: one request to the shell for the choice's setup program, then the
// end of the program, whatever the shell answered. A failing query of the window or the
// directory is fatal and makes no request.
//
// A run has one sequence, and it makes at most one request: the first press begins it and every
// later one is ignored. A later press can come while the first is still inside the shell, which
// runs the window's messages while it waits (on COM in the window's apartment, or on a box the
// window owns), so ending the program after the request is not enough to keep it the only one.
class LaunchSequence {
public:
    LaunchSequence(LauncherShell& shell, AnsiConverter toAnsi) : shell_(shell), toAnsi_(toAnsi) {}
    LaunchSequence(const LaunchSequence&) = delete;
    LaunchSequence& operator=(const LaunchSequence&) = delete;

    void LaunchChoice(const LanguageChoice& choice);

private:
    LauncherShell& shell_;
    AnsiConverter toAnsi_;
    bool begun_ = false;
};
