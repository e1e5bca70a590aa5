#include "tests/e2e/ServiceHarness.h"

#include "platform/FileSystem.h"

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <strings.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quillory::e2e {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const std::string& message) {
    throw std::runtime_error(message);
}

std::string Tail(const std::string& path) {
    if (!FileExists(path))
        return {};
    std::string text = ReadWholeFile(path);
    return text.size() > 2000 ? text.substr(text.size() - 2000) : text;
}

int ConnectLoopback(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::string SourceDir() {
    return QUILLORY_SOURCE_DIR;
}
std::string DataDir() {
    return QUILLORY_E2E_DATA_DIR;
}

std::string MakeScratchDir(const std::string& name) {
    fs::path dir = fs::path(DataDir()) / (std::to_string(::getpid()) + "-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

// --- processes -------------------------------------------------------------

void TProcess::Start(const std::vector<std::string>& argv, const std::string& logPath,
                     const std::vector<std::string>& extraEnv, const std::string& inputPath) {
    Stop();
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid < 0)
        Fail("fork failed: " + std::string(std::strerror(errno)));
    if (pid == 0) {
        ::setpgid(0, 0);
        // A test that dies must not leave its servers behind.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        int in = ::open(inputPath.empty() ? "/dev/null" : inputPath.c_str(), O_RDONLY);
        int out = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (in < 0 || out < 0)
            ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        for (const auto& e : extraEnv)
            ::putenv(const_cast<char*>(e.c_str()));
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    FPid = pid;
}

bool TProcess::Running() {
    if (FPid <= 0)
        return false;
    int status = 0;
    pid_t r = ::waitpid(FPid, &status, WNOHANG);
    if (r == FPid) {
        // The leader is gone; its workers may still run.
        ::kill(-FPid, SIGKILL);
        FPid = -1;
        return false;
    }
    return true;
}

int TProcess::Wait(std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (FPid > 0) {
        int status = 0;
        pid_t r = ::waitpid(FPid, &status, WNOHANG);
        if (r == FPid) {
            FPid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (Clock::now() > deadline) {
            Stop(0ms);
            Fail("a program did not end within " + std::to_string(limit.count()) + " ms");
        }
        std::this_thread::sleep_for(5ms);
    }
    Fail("no program is running");
}

void TProcess::Stop(std::chrono::milliseconds grace) {
    if (FPid <= 0)
        return;
    ::kill(-FPid, SIGTERM);
    const auto deadline = Clock::now() + grace;
    int status = 0;
    while (::waitpid(FPid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            ::kill(-FPid, SIGKILL);
            ::waitpid(FPid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    // Workers of the group that outlived their leader.
    ::kill(-FPid, SIGKILL);
    FPid = -1;
}

int RunProgram(const std::vector<std::string>& argv, const std::string& logPath,
               std::chrono::milliseconds limit, const std::string& inputPath) {
    TProcess p;
    p.Start(argv, logPath, {}, inputPath);
    return p.Wait(limit);
}

// --- loopback networking ---------------------------------------------------

int FreeLoopbackPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        Fail("no free loopback port");
    ::close(fd);
    return ntohs(addr.sin_port);
}

bool WaitForPort(int port, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        int fd = ConnectLoopback(port);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

std::string THttpReply::Header(const std::string& name) const {
    std::size_t pos = 0;
    while ((pos = Head.find("\r\n", pos)) != std::string::npos) {
        pos += 2;
        std::size_t colon = Head.find(':', pos);
        std::size_t eol = Head.find("\r\n", pos);
        if (colon == std::string::npos || colon > eol)
            continue;
        if (strncasecmp(Head.c_str() + pos, name.c_str(), name.size()) == 0 &&
            colon - pos == name.size()) {
            std::size_t v = Head.find_first_not_of(' ', colon + 1);
            return Head.substr(v, eol - v);
        }
    }
    return {};
}

THttpReply HttpPost(int port, const std::string& path, const std::string& contentType,
                    const std::string& body, std::chrono::milliseconds limit) {
    int fd = ConnectLoopback(port);
    if (fd < 0)
        Fail("cannot connect to port " + std::to_string(port));
    const std::string request =
        "POST " + path + " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) +
        "\r\nContent-Type: " + contentType + "\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
    std::size_t sent = 0;
    while (sent < request.size()) {
        ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            ::close(fd);
            Fail("send failed");
        }
        sent += static_cast<std::size_t>(n);
    }
    std::string raw;
    const auto deadline = Clock::now() + limit;
    char buffer[16384];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            ::close(fd);
            Fail("no complete reply within " + std::to_string(limit.count()) + " ms");
        }
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        raw.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    THttpReply reply;
    std::size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos || raw.compare(0, 5, "HTTP/") != 0)
        Fail("malformed reply: " + raw.substr(0, 200));
    reply.Head = raw.substr(0, end + 2);
    reply.Body = raw.substr(end + 4);
    reply.Status = std::atoi(raw.c_str() + raw.find(' ') + 1);
    return reply;
}

std::string UrlEncode(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '*') {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string PhpString(const std::string& value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '\\' || c == '"' || c == '$')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string SettingsScript(const TServerSettings& s) {
    std::string out = "<?php\r\n";
    out += "  $hostname=" + PhpString(s.Hostname) + ";\r\n";
    out += "  $database=" + PhpString(s.Database) + ";\r\n";
    out += "  $username=" + PhpString(s.Username) + ";\r\n";
    out += "  $password=" + PhpString(s.Password) + ";\r\n";
    out += "  $invalidpage=" + PhpString(s.InvalidPage) + ";\r\n";
    if (!s.Dsn.empty())
        out += "  $dsn=" + PhpString(s.Dsn) + ";\r\n";
    return out + "?>\r\n";
}

// --- MariaDB -----------------------------------------------------------------

void TMariaDbServer::Start(const std::string& dir) {
    FDir = dir;
    FSocket = dir + "/mariadb.sock";
    const std::string data = dir + "/data";
    const bool root = ::geteuid() == 0;
    std::vector<std::string> install = {"mariadb-install-db", "--no-defaults", "--datadir=" + data,
                                        "--auth-root-authentication-method=normal",
                                        "--skip-test-db"};
    if (root)
        install.push_back("--user=root");
    if (RunProgram(install, dir + "/install.log", 60000ms) != 0)
        Fail("mariadb-install-db failed: " + Tail(dir + "/install.log"));

    Port = FreeLoopbackPort();
    std::vector<std::string> argv = {"mariadbd",
                                     "--no-defaults",
                                     "--datadir=" + data,
                                     "--socket=" + FSocket,
                                     "--pid-file=" + dir + "/mariadb.pid",
                                     "--port=" + std::to_string(Port),
                                     "--bind-address=127.0.0.1",
                                     "--log-error=" + dir + "/mariadb.err",
                                     "--skip-log-bin",
                                     "--innodb-buffer-pool-size=32M",
                                     "--max-connections=200"};
    if (root)
        argv.push_back("--user=root");
    FProcess.Start(argv, dir + "/mariadb.out");
    const auto deadline = Clock::now() + 60s;
    while (!(FileExists(FSocket) && WaitForPort(Port, 100ms))) {
        if (!FProcess.Running() || Clock::now() > deadline) {
            Stop();
            Fail("mariadbd did not start: " + Tail(dir + "/mariadb.err"));
        }
        std::this_thread::sleep_for(50ms);
    }
    std::string password;
    for (char c : Password)
        password += (c == '\'' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    Sql("CREATE DATABASE " + Database + ";" + "CREATE USER '" + User +
        "'@'127.0.0.1' IDENTIFIED BY '" + password + "';" + "GRANT ALL ON " + Database + ".* TO '" +
        User + "'@'127.0.0.1';");
}

void TMariaDbServer::Sql(const std::string& sql, const std::string& database) {
    std::vector<std::string> argv = {
        "mariadb", "--no-defaults", "--socket=" + FSocket, "-uroot", "-e", sql};
    if (!database.empty())
        argv.push_back(database);
    if (RunProgram(argv, FDir + "/sql.log", 30000ms) != 0)
        Fail("SQL failed: " + Tail(FDir + "/sql.log"));
}

std::string TMariaDbServer::Query(const std::string& sql, const std::string& database) {
    const std::string out = FDir + "/query.out";
    std::filesystem::remove(out);
    if (RunProgram({"mariadb", "--no-defaults", "--socket=" + FSocket, "-uroot", "--batch", "-e",
                    sql, database},
                   out, 30000ms) != 0)
        Fail("query failed: " + Tail(out));
    return ReadWholeFile(out);
}

void TMariaDbServer::SqlFile(const std::string& path) {
    std::vector<std::string> argv = {"mariadb", "--no-defaults", "--socket=" + FSocket, "-uroot",
                                     Database};
    if (RunProgram(argv, FDir + "/sql.log", 30000ms, path) != 0)
        Fail("SQL file failed: " + Tail(FDir + "/sql.log"));
}

void TMariaDbServer::Stop() {
    FProcess.Stop(20000ms);
}

// --- PHP -----------------------------------------------------------------------

void TPhpCouponServer::Start(const std::string& dir, const TServerSettings& settings, int workers) {
    FDocRoot = dir + "/www";
    fs::create_directories(FDocRoot);
    fs::copy_file(SourceDir() + "/server/couponsactions.php", FDocRoot + "/couponsactions.php",
                  fs::copy_options::overwrite_existing);
    WriteWholeFile(FDocRoot + "/coupsettings.php", SettingsScript(settings));
    Port = FreeLoopbackPort();
    FProcess.Start({"php", "-d", "date.timezone=UTC", "-S", "127.0.0.1:" + std::to_string(Port),
                    "-t", FDocRoot},
                   dir + "/php.log", {"PHP_CLI_SERVER_WORKERS=" + std::to_string(workers)});
    if (!WaitForPort(Port, 15000ms)) {
        Stop();
        Fail("php -S did not start: " + Tail(dir + "/php.log"));
    }
}

void TPhpCouponServer::Stop() {
    FProcess.Stop(5000ms);
}

std::string TPhpCouponServer::SiteURL() const {
    return "http://127.0.0.1:" + std::to_string(Port);
}

} // namespace quillory::e2e
