#include "ProgramFolder.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillory {

namespace {
std::mutex g_lock;
std::string g_override;
std::function<bool(const std::string&)> g_writableCheck;

std::string ExecutableFolder() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "./";
    std::string path(buf, static_cast<std::size_t>(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The folders a package manager installs programs into. Their files belong to
// the package: a program there never writes beside itself, even when it runs
// as root (who may write everywhere).
bool IsSystemProgramFolder(const std::string& folder) {
    return EndsWith(folder, "/usr/bin/") || EndsWith(folder, "/usr/local/bin/") ||
           EndsWith(folder, "/usr/games/");
}

bool ProgramFolderWritable(const std::string& folder) {
    std::function<bool(const std::string&)> check;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        check = g_writableCheck;
    }
    if (check)
        return check(folder);
    return !IsSystemProgramFolder(folder) && ::access(folder.c_str(), W_OK) == 0;
}

std::string UserConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // Relative values are ignored, as the base directory rules ask.
    if (xdg && xdg[0] == '/')
        return std::string(xdg) + "/";
    const char* home = std::getenv("HOME");
    std::string base = home && home[0] ? home : "";
    if (base.empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
            base = pw->pw_dir;
    }
    if (base.empty())
        base = "/tmp";
    return base + "/.config/";
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
} // namespace

std::string ProgramFolder() {
    std::lock_guard<std::mutex> guard(g_lock);
    if (!g_override.empty())
        return g_override;
    static const std::string folder = ExecutableFolder();
    return folder;
}

void SetProgramFolder(const std::string& folder) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_override = folder;
    if (!g_override.empty() && g_override.back() != '/')
        g_override += '/';
}

std::string DataFolder() {
    const std::string program = ProgramFolder();
    if (ProgramFolderWritable(program))
        return program;
    const std::string config = UserConfigFolder();
    const std::string folder = config + "quillory/";
    // ~/.config itself may be missing on a fresh account; both are private.
    if (::mkdir(config.c_str(), 0700) != 0 && errno != EEXIST)
        return folder;
    ::mkdir(folder.c_str(), 0700);
    return folder;
}

std::string SystemDataFolder() {
    const std::string program = ProgramFolder();
    if (!EndsWith(program, "/bin/"))
        return {};
    return program.substr(0, program.size() - 4) + "share/quillory/";
}

std::string BrandingFolder(const std::string& configName) {
    const std::string user = DataFolder();
    if (IsRegularFile(user + configName))
        return user;
    const std::string system = SystemDataFolder();
    if (!system.empty() && IsRegularFile(system + "branding/" + configName))
        return system + "branding/";
    return user;
}

void SetProgramFolderWritableCheck(std::function<bool(const std::string&)> check) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_writableCheck = std::move(check);
}

} // namespace quillory
