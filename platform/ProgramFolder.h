#pragma once
#include <string>

namespace quillory {

// The folder of the running executable with a trailing '/': settings, branding
// files, coupsettings.php and the update descriptor live there.
std::string ProgramFolder();

// Points ProgramFolder() elsewhere (tests, tools); an empty text restores the
// executable's own folder. A missing trailing '/' is added.
void SetProgramFolder(const std::string& folder);

} // namespace quillory
