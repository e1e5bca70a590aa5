#include "Shell.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quillory {

std::string FindExecutable(const std::string& name) {
    if (name.empty())
        return {};
    auto executable = [](const std::string& p) {
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
    };
    if (name.find('/') != std::string::npos)
        return executable(name) ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty())
            dir.assign(1, '.');
        std::string candidate = dir;
        candidate.append(1, '/').append(name);
        if (executable(candidate))
            return candidate;
        start = end + 1;
    }
    return {};
}

std::string FindDefaultBrowserCommand() {
    if (const char* b = std::getenv("BROWSER"); b && *b) {
        std::string list = b;
        std::size_t start = 0;
        while (start <= list.size()) {
            std::size_t end = list.find(':', start);
            if (end == std::string::npos)
                end = list.size();
            // An entry may carry arguments ("firefox -new-tab"); the program is its first word.
            auto words = SplitParameterText(list.substr(start, end - start));
            if (!words.empty()) {
                std::string found = FindExecutable(words.front());
                if (!found.empty())
                    return found;
            }
            start = end + 1;
        }
    }
    for (const char* name : {"xdg-open", "sensible-browser", "x-www-browser", "firefox", "chromium",
                             "google-chrome"}) {
        std::string found = FindExecutable(name);
        if (!found.empty())
            return found;
    }
    return {};
}

std::vector<std::string> SplitParameterText(const std::string& params) {
    std::vector<std::string> args;
    std::string cur;
    bool inWord = false, quoted = false;
    for (char c : params) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord)
                args.push_back(cur);
            cur.clear();
            inWord = false;
        } else {
            cur += c;
            inWord = true;
        }
    }
    if (inWord)
        args.push_back(cur);
    return args;
}

bool LauncherTakesEndOfOptions(const std::string& launcher) {
    const std::size_t slash = launcher.find_last_of('/');
    const std::string name = slash == std::string::npos ? launcher : launcher.substr(slash + 1);
    for (const char* known :
         {"chromium", "chromium-browser", "google-chrome", "google-chrome-stable"})
        if (name == known)
            return true;
    return false;
}

std::vector<std::string> BrowserArguments(const std::string& launcher, const std::string& address) {
    if (address.empty())
        return {};
    if (LauncherTakesEndOfOptions(launcher))
        return {"--", address};
    if (address.front() == '-')
        return {};
    return {address};
}

bool StartProgram(const std::string& program, const std::string& params) {
    return StartProgramWithArguments(program, SplitParameterText(params));
}

bool StartProgramWithArguments(const std::string& program, const std::vector<std::string>& given) {
    std::string path = FindExecutable(program);
    if (path.empty())
        return false;
    std::vector<std::string> args = given;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    // Double fork: the intermediate child spawns the program and exits at
    // once, so the program is re-parented and never becomes our zombie.
    int pipefd[2];
    if (::pipe2(pipefd, O_CLOEXEC) != 0)
        return false;
    pid_t mid = ::fork();
    if (mid < 0) {
        ::close(pipefd[0]);
        ::close(pipefd[1]);
        return false;
    }
    if (mid == 0) {
        ::close(pipefd[0]);
        ::setsid();
        pid_t child = 0;
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        int rc = ::posix_spawn(&child, path.c_str(), nullptr, &attr, argv.data(), environ);
        posix_spawnattr_destroy(&attr);
        char ok = rc == 0 ? 1 : 0;
        ssize_t ignored = ::write(pipefd[1], &ok, 1);
        (void)ignored;
        ::_exit(0);
    }
    ::close(pipefd[1]);
    char ok = 0;
    ssize_t n;
    do {
        n = ::read(pipefd[0], &ok, 1);
    } while (n < 0 && errno == EINTR);
    ::close(pipefd[0]);
    int status = 0;
    while (::waitpid(mid, &status, 0) < 0 && errno == EINTR) {
    }
    return n == 1 && ok == 1;
}

} // namespace quillory

namespace quillory {

std::string FileURL(const std::string& path) {
    static const char* const digits = "0123456789ABCDEF";
    std::string out = "file://";
    for (const char c : path) {
        const auto b = static_cast<unsigned char>(c);
        if (std::isalnum(b) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
            out += c;
        } else {
            out += '%';
            out += digits[b >> 4];
            out += digits[b & 15];
        }
    }
    return out;
}

bool OpenFolder(const std::string& folder) {
    struct stat st {};
    if (folder.empty() || folder[0] != '/' || ::stat(folder.c_str(), &st) != 0 ||
        !S_ISDIR(st.st_mode))
        return false;
    return StartProgramWithArguments("xdg-open", {FileURL(folder)});
}

} // namespace quillory
