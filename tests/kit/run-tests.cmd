@echo off
rem The launcher's Win32 tests on this Windows: double-click this file, or start it from a
rem console (run-tests.cmd [FILTER]). Nothing is installed and no administrator rights are needed.
rem The last line says "N passed, N failed, N skipped"; the exit code is 0 only when none failed.
setlocal
echo Leave the mouse and keyboard alone while the tests run: they move the pointer, click and press
echo keys in windows of their own, and a touch of yours would land among them.
echo.
set "runner=%~dp0bin\kit_runner.exe"
if not exist "%runner%" (
    echo The kit is incomplete: bin\kit_runner.exe is missing. Unpack the whole archive again.
    exit /b 2
)
rem A double-click runs this file alone in a window of its own, which closes when it ends.
set "started="
setlocal EnableDelayedExpansion
if /i not "!cmdcmdline:%~nx0=!"=="!cmdcmdline!" (endlocal & set "started=--double-clicked") else endlocal
"%runner%" tests %started% %1
exit /b %errorlevel%
