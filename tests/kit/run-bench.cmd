@echo off
rem The launcher's start-up ladder on this Windows (run-bench.cmd [ROUNDS], 101 by default): each
rem rung against the one below it, in the same run. The table is also written beside the report.
setlocal
echo Leave the mouse and keyboard alone while the benchmark runs: windows open and close in front.
echo.
set "runner=%~dp0bin\kit_runner.exe"
if not exist "%runner%" (
    echo The kit is incomplete: bin\kit_runner.exe is missing. Unpack the whole archive again.
    exit /b 2
)
set "started="
setlocal EnableDelayedExpansion
if /i not "!cmdcmdline:%~nx0=!"=="!cmdcmdline!" (endlocal & set "started=--double-clicked") else endlocal
"%runner%" bench %started% %1
exit /b %errorlevel%
