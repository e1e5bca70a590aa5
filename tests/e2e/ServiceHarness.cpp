#include "tests/e2e/ServiceHarness.h"

#include "coupons/CouponService.h"
#include "http/HTTPClient.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <pwd.h>
#include <set>
#include <stdexcept>
#include <strings.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
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

int ConnectLoopback(int port, const std::string& sourceAddress = {}) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (!sourceAddress.empty()) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        if (::inet_pton(AF_INET, sourceAddress.c_str(), &from.sin_addr) != 1 ||
            ::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
            ::close(fd);
            return -1;
        }
    }
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

namespace {

std::mutex& TlsPortsLock() {
    static std::mutex lock;
    return lock;
}
std::set<int>& TlsPorts() {
    static std::set<int> ports;
    return ports;
}
bool IsTlsPort(int port) {
    std::lock_guard<std::mutex> hold(TlsPortsLock());
    return TlsPorts().count(port) != 0;
}

// One connection of HttpPost: plain, or TLS when the port is a TLS front's
// (the certificate is not checked: this stands in for a browser, not for the
// client under test).
class TRawConnection {
public:
    TRawConnection(int fd, bool tls) : FFd(fd) {
        if (!tls)
            return;
        FContext = SSL_CTX_new(TLS_client_method());
        FSSL = FContext ? SSL_new(FContext) : nullptr;
        if (FSSL == nullptr || SSL_set_fd(FSSL, fd) != 1 ||
            SSL_set_tlsext_host_name(FSSL, "localhost") != 1 || SSL_connect(FSSL) != 1) {
            Release();
            Fail("TLS handshake with the test front failed");
        }
    }
    ~TRawConnection() { Release(); }
    TRawConnection(const TRawConnection&) = delete;
    TRawConnection& operator=(const TRawConnection&) = delete;

    void SendAll(const std::string& data) {
        std::size_t sent = 0;
        while (sent < data.size()) {
            const long n =
                FSSL ? SSL_write(FSSL, data.data() + sent, static_cast<int>(data.size() - sent))
                     : ::send(FFd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                Fail("send failed");
            sent += static_cast<std::size_t>(n);
        }
    }
    // Bytes read, 0 at the end of the reply.
    long Receive(char* buffer, std::size_t size, Clock::time_point deadline, long limitMs) {
        if (!FSSL || SSL_pending(FSSL) == 0) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{FFd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                Fail("no complete reply within " + std::to_string(limitMs) + " ms");
        }
        const long n =
            FSSL ? SSL_read(FSSL, buffer, static_cast<int>(size)) : ::recv(FFd, buffer, size, 0);
        return n < 0 ? 0 : n;
    }

private:
    void Release() {
        if (FSSL)
            SSL_free(FSSL);
        if (FContext)
            SSL_CTX_free(FContext);
        if (FFd >= 0)
            ::close(FFd);
        FSSL = nullptr;
        FContext = nullptr;
        FFd = -1;
    }

    int FFd;
    SSL_CTX* FContext = nullptr;
    SSL* FSSL = nullptr;
};

} // namespace

THttpReply HttpPost(int port, const std::string& path, const std::string& contentType,
                    const std::string& body, std::chrono::milliseconds limit,
                    const std::string& sourceAddress, const std::string& extraHeaders,
                    const std::string& protocol) {
    int fd = ConnectLoopback(port, sourceAddress);
    if (fd < 0)
        Fail("cannot connect to port " + std::to_string(port));
    TRawConnection connection(fd, IsTlsPort(port));
    const std::string request =
        "POST " + path + " " + protocol + "\r\nHost: 127.0.0.1:" + std::to_string(port) +
        "\r\nContent-Type: " + contentType + "\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\n" + extraHeaders + "Connection: close\r\n\r\n" + body;
    connection.SendAll(request);
    std::string raw;
    const auto deadline = Clock::now() + limit;
    char buffer[16384];
    for (;;) {
        const long n =
            connection.Receive(buffer, sizeof buffer, deadline, static_cast<long>(limit.count()));
        if (n <= 0)
            break;
        raw.append(buffer, static_cast<std::size_t>(n));
    }
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

std::string PercentEncode(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string BasicAuthorization(const std::string& user, const std::string& password) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string in = user + ":" + password;
    std::string out = "Basic ";
    for (std::size_t i = 0; i < in.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, in.size() - i);
        unsigned v = static_cast<unsigned char>(in[i]) << 16;
        if (n > 1)
            v |= static_cast<unsigned char>(in[i + 1]) << 8;
        if (n > 2)
            v |= static_cast<unsigned char>(in[i + 2]);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += n > 1 ? alphabet[(v >> 6) & 63] : '=';
        out += n > 2 ? alphabet[v & 63] : '=';
    }
    return out;
}

TFront E2EFront() {
    const char* front = std::getenv("QUILLORY_E2E_FRONT");
    const std::string name = front ? front : "";
    if (name.empty())
        return TFront::Direct;
    if (name == "https")
        return TFront::Https;
    if (name == "nginx")
        return TFront::Nginx;
    Fail("QUILLORY_E2E_FRONT must be empty, \"https\" or \"nginx\", not \"" + name + "\"");
}

std::string PhpPasswordHash(const std::string& password) {
    static std::map<std::string, std::string> made;
    auto it = made.find(password);
    if (it != made.end())
        return it->second;
    const std::string dir = MakeScratchDir("hash");
    const std::string out = dir + "/hash.txt";
    if (RunProgram({"php", "-r", "echo password_hash($argv[1], PASSWORD_BCRYPT, ['cost' => 5]);",
                    "--", password},
                   out, 30000ms) != 0)
        Fail("php could not hash a password: " + Tail(out));
    std::string hash = ReadWholeFile(out);
    fs::remove_all(dir);
    if (hash.rfind("$2y$05$", 0) != 0)
        Fail("unexpected password hash: " + hash);
    return made[password] = hash;
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
    if (!s.AdminUser.empty()) {
        out += "  $adminuser=" + PhpString(s.AdminUser) + ";\r\n";
        out += "  $adminhash=" + PhpString(PhpPasswordHash(s.AdminPassword)) + ";\r\n";
    }
    if (s.AllowOpenAdmin)
        out += "  $allowopenadmin = true;\r\n";
    return out + "?>\r\n";
}

// --- MariaDB -----------------------------------------------------------------

void TMariaDbServer::Start(const std::string& dir) {
    FDir = dir;
    FSocket = dir + "/mariadb.sock";
    const std::string data = dir + "/data";
    const bool root = ::geteuid() == 0;
    // A temp folder of its own: instances running side by side must not
    // share (and delete) each other's temporary tables in /tmp.
    const std::string tmp = dir + "/tmp";
    fs::create_directories(tmp);
    std::vector<std::string> install = {
        "mariadb-install-db", "--no-defaults",
        "--datadir=" + data,  "--auth-root-authentication-method=normal",
        "--skip-test-db",     "--tmpdir=" + tmp};
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
                                     "--tmpdir=" + tmp,
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
    Stop();
    FSettings = settings;
    FDocRoot = dir + "/www";
    fs::create_directories(FDocRoot);
    // The script creates its tables from schema.sql beside it.
    for (const char* file : {"couponsactions.php", "schema.sql"})
        fs::copy_file(SourceDir() + "/server/" + file, FDocRoot + "/" + file,
                      fs::copy_options::overwrite_existing);
    WriteWholeFile(FDocRoot + "/coupsettings.php",
                   settings.Script.empty() ? SettingsScript(settings) : settings.Script);
    FScheme = "http";
    FHost = "127.0.0.1";
    switch (E2EFront()) {
    case TFront::Direct:
        StartPhpBuiltIn(dir, workers, FreeLoopbackPort());
        FSitePort = Port;
        break;
    case TFront::Https:
        StartPhpBuiltIn(dir, workers, FreeLoopbackPort());
        StartTlsFront(dir);
        break;
    case TFront::Nginx:
        StartNginx(dir, workers);
        FSitePort = Port;
        break;
    }
}

void TPhpCouponServer::StartPhpBuiltIn(const std::string& dir, int workers, int port) {
    Port = port;
    FProcess.Start({"php", "-d", "date.timezone=UTC", "-S", "127.0.0.1:" + std::to_string(Port),
                    "-t", FDocRoot},
                   dir + "/php.log", {"PHP_CLI_SERVER_WORKERS=" + std::to_string(workers)});
    if (!WaitForPort(Port, 15000ms)) {
        Stop();
        Fail("php -S did not start: " + Tail(dir + "/php.log"));
    }
}

namespace {

// A program of the system's sbin folders, which need not be on PATH.
std::string SystemProgram(const std::vector<std::string>& names) {
    for (const auto& name : names)
        for (const char* folder : {"/usr/sbin/", "/usr/bin/", "/sbin/"})
            if (FileExists(folder + name))
                return folder + name;
    return names.front();
}

// The certificate authority of this run and a certificate it signed for
// "localhost" and 127.0.0.1; SSL_CERT_FILE is pointed at the authority so
// the client (and every program the tests start) trusts it. Made once.
std::string TlsServerPem() {
    static std::string pem;
    if (!pem.empty())
        return pem;
    const std::string dir = MakeScratchDir("tls");
    const std::string log = dir + "/openssl.log";
    auto run = [&](const std::vector<std::string>& argv) {
        if (RunProgram(argv, log, 60000ms) != 0)
            Fail("openssl failed: " + Tail(log));
    };
    WriteWholeFile(dir + "/ca.cnf", "basicConstraints=critical,CA:TRUE\n"
                                    "keyUsage=critical,keyCertSign,cRLSign\n");
    WriteWholeFile(dir + "/server.cnf", "subjectAltName=DNS:localhost,IP:127.0.0.1\n"
                                        "basicConstraints=CA:FALSE\n"
                                        "extendedKeyUsage=serverAuth\n");
    const std::vector<std::string> ec = {"-newkey", "ec", "-pkeyopt",
                                         "ec_paramgen_curve:prime256v1", "-nodes"};
    auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    run(with(
        with({"openssl", "req", "-new"}, ec),
        {"-keyout", dir + "/ca.key", "-out", dir + "/ca.csr", "-subj", "/CN=Quillory e2e CA"}));
    run({"openssl", "x509", "-req", "-in", dir + "/ca.csr", "-signkey", dir + "/ca.key", "-out",
         dir + "/ca.pem", "-days", "2", "-extfile", dir + "/ca.cnf"});
    run(with(
        with({"openssl", "req", "-new"}, ec),
        {"-keyout", dir + "/server.key", "-out", dir + "/server.csr", "-subj", "/CN=localhost"}));
    run({"openssl", "x509", "-req", "-in", dir + "/server.csr", "-CA", dir + "/ca.pem", "-CAkey",
         dir + "/ca.key", "-CAcreateserial", "-out", dir + "/server.crt", "-days", "2", "-extfile",
         dir + "/server.cnf"});
    WriteWholeFile(dir + "/server.pem",
                   ReadWholeFile(dir + "/server.crt") + ReadWholeFile(dir + "/server.key"));
    ::setenv("SSL_CERT_FILE", (dir + "/ca.pem").c_str(), 1);
    pem = dir + "/server.pem";
    return pem;
}

} // namespace

void TPhpCouponServer::StartTlsFront(const std::string& dir) {
    const std::string pem = TlsServerPem();
    FScheme = "https";
    FSitePort = FreeLoopbackPort();
    {
        std::lock_guard<std::mutex> hold(TlsPortsLock());
        TlsPorts().insert(FSitePort);
    }
    FFront.Start({"socat",
                  "OPENSSL-LISTEN:" + std::to_string(FSitePort) +
                      ",bind=127.0.0.1,reuseaddr,fork,nodelay,verify=0,cert=" + pem,
                  "TCP:127.0.0.1:" + std::to_string(Port) + ",nodelay"},
                 dir + "/socat.log");
    if (!WaitForPort(FSitePort, 15000ms)) {
        Stop();
        Fail("the TLS front did not start: " + Tail(dir + "/socat.log"));
    }
}

namespace {

bool AcceptsUnixConnections(const std::string& path) {
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path)
        Fail("socket path too long: " + path);
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

} // namespace

void TPhpCouponServer::StartNginx(const std::string& dir, int workers) {
    const bool root = ::geteuid() == 0;
    const std::string run = dir + "/run";
    for (const char* sub : {"run", "run/body", "run/fastcgi", "run/proxy", "run/uwsgi", "run/scgi"})
        fs::create_directories(dir + "/" + sub);
    const std::string socket = run + "/php-fpm.sock";
    std::string fpm = "[global]\n"
                      "pid = " +
                      run +
                      "/php-fpm.pid\n"
                      "error_log = " +
                      dir +
                      "/php-fpm.log\n"
                      "daemonize = no\n"
                      "[coupons]\n"
                      "listen = " +
                      socket +
                      "\n"
                      "listen.mode = 0666\n"
                      "pm = static\n"
                      "pm.max_children = " +
                      std::to_string(workers) +
                      "\n"
                      "catch_workers_output = yes\n"
                      "clear_env = yes\n"
                      "php_admin_value[date.timezone] = UTC\n"
                      "php_admin_value[error_log] = " +
                      dir +
                      "/php-errors.log\n"
                      "php_admin_flag[log_errors] = on\n";
    if (root && !FSettings.FpmUser.empty()) {
        // The workers may still log where the run keeps its logs.
        const passwd* user = ::getpwnam(FSettings.FpmUser.c_str());
        if (user == nullptr)
            Fail("no such user for PHP-FPM: " + FSettings.FpmUser);
        WriteWholeFile(dir + "/php-errors.log", "");
        if (::chown((dir + "/php-errors.log").c_str(), user->pw_uid, user->pw_gid) != 0)
            Fail("cannot hand the PHP error log to " + FSettings.FpmUser);
        fpm += "user = " + FSettings.FpmUser + "\n";
    } else if (root) {
        fpm += "user = root\ngroup = root\n";
    }
    WriteWholeFile(dir + "/php-fpm.conf", fpm);
    std::vector<std::string> fpmArgv = {SystemProgram({"php-fpm8.2", "php-fpm"}),
                                        "--nodaemonize",
                                        "--fpm-config",
                                        dir + "/php-fpm.conf",
                                        "--prefix",
                                        run};
    if (root)
        fpmArgv.push_back("--allow-to-run-as-root");
    FProcess.Start(fpmArgv, dir + "/php-fpm.out");

    Port = FreeLoopbackPort();
    // The FastCGI parameters are written out here rather than taken from the
    // system's nginx folder; request headers (Authorization among them) go to
    // PHP as HTTP_* variables.
    std::string conf = "worker_processes 2;\n"
                       "pid " +
                       run +
                       "/nginx.pid;\n"
                       "error_log " +
                       dir + "/nginx-error.log;\n";
    if (root)
        conf += "user root;\n";
    // A burst of simultaneous customers takes two connections each (the
    // browser's and the one to PHP-FPM).
    conf += "events { worker_connections 1024; }\n"
            "http {\n"
            "  access_log " +
            dir +
            "/nginx-access.log;\n"
            "  client_body_temp_path " +
            run +
            "/body;\n"
            "  fastcgi_temp_path " +
            run +
            "/fastcgi;\n"
            "  proxy_temp_path " +
            run +
            "/proxy;\n"
            "  uwsgi_temp_path " +
            run +
            "/uwsgi;\n"
            "  scgi_temp_path " +
            run +
            "/scgi;\n"
            "  server {\n"
            "    listen 127.0.0.1:" +
            std::to_string(Port) +
            ";\n"
            "    server_name localhost;\n"
            "    root " +
            FDocRoot +
            ";\n"
            "    location ~ \\.php$ {\n"
            "      try_files $uri =404;\n"
            "      fastcgi_pass unix:" +
            socket +
            ";\n"
            "      fastcgi_param SCRIPT_FILENAME $document_root$fastcgi_script_name;\n"
            "      fastcgi_param SCRIPT_NAME $fastcgi_script_name;\n"
            "      fastcgi_param QUERY_STRING $query_string;\n"
            "      fastcgi_param REQUEST_METHOD $request_method;\n"
            "      fastcgi_param CONTENT_TYPE $content_type;\n"
            "      fastcgi_param CONTENT_LENGTH $content_length;\n"
            "      fastcgi_param REQUEST_URI $request_uri;\n"
            "      fastcgi_param DOCUMENT_URI $document_uri;\n"
            "      fastcgi_param DOCUMENT_ROOT $document_root;\n"
            "      fastcgi_param SERVER_PROTOCOL $server_protocol;\n"
            "      fastcgi_param GATEWAY_INTERFACE CGI/1.1;\n"
            "      fastcgi_param SERVER_SOFTWARE nginx;\n"
            "      fastcgi_param REMOTE_ADDR $remote_addr;\n"
            "      fastcgi_param REMOTE_PORT $remote_port;\n"
            "      fastcgi_param SERVER_ADDR $server_addr;\n"
            "      fastcgi_param SERVER_PORT $server_port;\n"
            "      fastcgi_param SERVER_NAME $server_name;\n"
            "      fastcgi_param REDIRECT_STATUS 200;\n"
            "    }\n"
            "  }\n"
            "}\n";
    WriteWholeFile(dir + "/nginx.conf", conf);
    FFront.Start({SystemProgram({"nginx"}), "-p", run, "-e", dir + "/nginx-error.log", "-c",
                  dir + "/nginx.conf", "-g", "daemon off;"},
                 dir + "/nginx.out");
    const auto deadline = Clock::now() + 15s;
    // The socket file appears before PHP-FPM listens on it: wait for a connect.
    while (!(AcceptsUnixConnections(socket) && WaitForPort(Port, 100ms))) {
        if (!FProcess.Running() || !FFront.Running() || Clock::now() > deadline) {
            const std::string why = Tail(dir + "/php-fpm.log") + Tail(dir + "/php-fpm.out") +
                                    Tail(dir + "/nginx-error.log") + Tail(dir + "/nginx.out");
            Stop();
            Fail("nginx with PHP-FPM did not start: " + why);
        }
        std::this_thread::sleep_for(20ms);
    }
}

void TPhpCouponServer::Stop() {
    FFront.Stop(5000ms);
    FProcess.Stop(5000ms);
    // The port is free again and may next go to a plain server: HttpPost must
    // not greet that one with a TLS handshake.
    if (FScheme == "https") {
        std::lock_guard<std::mutex> hold(TlsPortsLock());
        TlsPorts().erase(FSitePort);
    }
}

std::string TPhpCouponServer::PlainSiteURL() const {
    return FScheme + "://" + FHost + ":" + std::to_string(FSitePort);
}

std::string TPhpCouponServer::SiteURL() const {
    if (FSettings.AdminUser.empty())
        return PlainSiteURL();
    return FScheme + "://" + PercentEncode(FSettings.AdminUser) + ":" +
           PercentEncode(FSettings.AdminPassword) + "@" + FHost + ":" + std::to_string(FSitePort);
}

std::vector<TCoupon> ListCoupons(TCouponService& service) {
    std::vector<TCoupon> out;
    EXPECT_TRUE(service.RefreshCoupons([&](const std::string& reply) {
        out = DecodeCouponList(reply);
    })) << service.LastReply()
        << service.LastError();
    return out;
}

std::unique_ptr<TPhpCouponServer> StartFilledCouponServer(const std::string& dir, int count,
                                                          int workers) {
    const std::string file = dir + "/coupons.sqlite";
    TServerSettings settings;
    settings.Dsn = "sqlite:" + file;
    auto server = std::make_unique<TPhpCouponServer>();
    server->Start(dir, settings, workers);
    THTTPClient http;
    const std::string site = server->SiteURL();
    TCouponService service(http, [&] { return site; });
    if (!service.CheckService()) // creates the tables
        throw std::runtime_error("the server is not ready: " + service.LastReply());
    const std::string fill = dir + "/fill.php";
    WriteWholeFile(fill, R"(<?php
$db = new PDO($argv[1], null, null, [PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION]);
$db->beginTransaction();
$s = $db->prepare('INSERT INTO coupons (code, code_key, name, expired, expirtype, expirdays,
    expirdate, orderurl, comments, createdate, uses) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0)');
for ($i = 0; $i < (int)$argv[2]; $i++) {
    $code = sprintf('C%07d', $i);
    $s->execute([$code, $code, "Coupon number $i, spring sale", $i % 7 == 0 ? '1' : '0',
        (string)(1 + $i % 3), (string)($i % 90), '2030-' . (1 + $i % 12) . '-' . (1 + $i % 28),
        "http://shop.example/order.php?item=$i", "Comment for coupon $i\r\nsecond line",
        '2026-12-9']);
}
$db->commit();
)");
    if (RunProgram({"php", fill, settings.Dsn, std::to_string(count)}, dir + "/fill.log",
                   std::chrono::minutes(5)) != 0)
        throw std::runtime_error("filling the database failed: " +
                                 ReadWholeFile(dir + "/fill.log"));
    return server;
}

} // namespace quillory::e2e
