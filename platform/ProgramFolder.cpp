#include "ProgramFolder.h"

#include <climits>
#include <mutex>
#include <unistd.h>

namespace quillory {

namespace {
std::mutex g_lock;
std::string g_override;

std::string ExecutableFolder() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "./";
    std::string path(buf, static_cast<std::size_t>(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
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

} // namespace quillory
