#pragma once
// Starting other programs: the user's web browser and the external updater.
#include <string>
#include <vector>

namespace quillory {

// The command of the user's default web browser: the first entry of $BROWSER
// (a ':'-separated list) that can be found, else xdg-open, else a few common
// browsers, each looked up on PATH. Empty when none can be found.
std::string FindDefaultBrowserCommand();

// Splits a parameter text into arguments the way a command line is split:
// at blanks, with double quotes grouping (and removed).
std::vector<std::string> SplitParameterText(const std::string& params);

// Starts `program` with the arguments of `params` and returns at once, without
// waiting for it (the child is detached, so it leaves no zombie). Returns false
// when the program could not be started.
bool StartProgram(const std::string& program, const std::string& params);

// The same with the arguments given one by one: each reaches the program as
// exactly one argument, whatever it holds.
bool StartProgramWithArguments(const std::string& program, const std::vector<std::string>& args);

// Whether a browser launcher reads "--" as the end of its options (the
// Chromium family does; xdg-open, sensible-browser, x-www-browser and
// unknown programs are not assumed to).
bool LauncherTakesEndOfOptions(const std::string& launcher);

// The arguments that hand `address` to `launcher` as an address and never as
// an option: after "--" where the launcher reads it; otherwise alone, and
// then an address starting with '-' is refused (no arguments at all).
std::vector<std::string> BrowserArguments(const std::string& launcher, const std::string& address);

// Searches PATH for an executable file; returns its full path or empty text.
// A name holding '/' is checked as it stands.
std::string FindExecutable(const std::string& name);

} // namespace quillory

namespace quillory {

// The file:// address of the absolute local path `path`: every byte but
// letters, digits and "-._~/" percent-encoded.
std::string FileURL(const std::string& path);

// Opens the local folder `folder` in the user's file manager (xdg-open with
// its file:// address) and returns at once. False when `folder` is not the
// absolute path of an existing folder or no xdg-open can be found.
bool OpenFolder(const std::string& folder);

} // namespace quillory
