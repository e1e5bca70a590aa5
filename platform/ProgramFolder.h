#pragma once
#include <functional>
#include <string>

namespace quillory {

// The folder of the running executable with a trailing '/'. The updater is
// looked for there; the program's own files live in DataFolder().
std::string ProgramFolder();

// Points ProgramFolder() elsewhere (tests, tools); an empty text restores the
// executable's own folder. A missing trailing '/' is added.
void SetProgramFolder(const std::string& folder);

// The folder, with a trailing '/', of the files the program keeps for itself:
// settings.dat, coupsettings.php, the update descriptor and the branding
// package. It is the program folder when that folder may be written (a build
// tree, a copy unpacked somewhere); for an installed program (a folder that
// cannot be written, or a .../usr/bin-style folder of the system) it is
// $XDG_CONFIG_HOME/quillory/ (default ~/.config/quillory/), created with mode
// 0700 when missing. When it cannot be created, the path is still returned and
// writing a file there reports the error.
std::string DataFolder();

// The read-only data shipped with an installed program, with a trailing '/':
// <prefix>/share/quillory/ when the program folder is <prefix>/bin/ (so
// /usr/share/quillory/ for /usr/bin/), else empty.
std::string SystemDataFolder();

// The folder the branding package is read from: DataFolder() when it holds
// `configName`, else the system-wide package in SystemDataFolder() +
// "branding/" when that holds it, else DataFolder().
std::string BrandingFolder(const std::string& configName);

// Replaces the check of whether the program folder may be written (tests: a
// process running as root may write everywhere). An empty function restores
// the real check.
void SetProgramFolderWritableCheck(std::function<bool(const std::string&)> check);

} // namespace quillory
