#pragma once
// Test servers for end-to-end runs: a private MariaDB (own data folder,
// loopback port, own socket) and the coupon server script under `php -S` on
// loopback. Everything is started by the tests, bounded in time and stopped
// at the end; no system service is touched.
#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quillory::e2e {

using namespace std::chrono_literals;

// The source tree and the folder where test servers keep their data.
std::string SourceDir();
std::string DataDir();
// A fresh, empty folder below DataDir() for this process.
std::string MakeScratchDir(const std::string& name);

// A child process in a process group of its own, so that stopping it also
// stops the workers it started.
class TProcess {
public:
    TProcess() = default;
    ~TProcess() { Stop(); }
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;

    // Output goes to `logPath`; standard input comes from `inputPath` (or
    // /dev/null). `extraEnv` entries are "NAME=value".
    void Start(const std::vector<std::string>& argv, const std::string& logPath,
               const std::vector<std::string>& extraEnv = {}, const std::string& inputPath = {});
    // Waits for the exit; returns the exit status, or throws after `limit`
    // (the process is then stopped).
    int Wait(std::chrono::milliseconds limit);
    // SIGTERM to the group, SIGKILL after `grace`. Harmless when not running.
    void Stop(std::chrono::milliseconds grace = 5000ms);
    bool Running();

private:
    pid_t FPid = -1;
};

// Runs a program to its end; returns its exit status. Throws when it cannot
// be started or does not end within `limit`.
int RunProgram(const std::vector<std::string>& argv, const std::string& logPath,
               std::chrono::milliseconds limit, const std::string& inputPath = {});

// A loopback port that was free a moment ago.
int FreeLoopbackPort();
// True once something accepts connections on 127.0.0.1:port.
bool WaitForPort(int port, std::chrono::milliseconds limit);

// A raw HTTP/1.0 exchange as a browser would make it.
struct THttpReply {
    int Status = 0;
    std::string Head;
    std::string Body;
    std::string Header(const std::string& name) const;
};
THttpReply HttpPost(int port, const std::string& path, const std::string& contentType,
                    const std::string& body, std::chrono::milliseconds limit = 10000ms);
// application/x-www-form-urlencoded, as browsers encode form fields.
std::string UrlEncode(const std::string& text);

// A value as a PHP double-quoted string literal, backslash, quote and "$"
// escaped, as the settings script writes them.
std::string PhpString(const std::string& value);

class TMariaDbServer {
public:
    ~TMariaDbServer() { Stop(); }
    // Creates a data folder in `dir`, starts mariadbd on a free loopback port
    // and creates the database and its user.
    void Start(const std::string& dir);
    void Stop();
    // Runs SQL as the administrator; `database` may be empty.
    void Sql(const std::string& sql, const std::string& database = {});
    // Feeds a file of SQL to the database.
    void SqlFile(const std::string& path);
    // Runs a query as the administrator and returns its output, tab-separated.
    std::string Query(const std::string& sql, const std::string& database);

    int Port = 0;
    std::string Database = "quillory_coupons";
    std::string User = "quillory";
    // Characters that need escaping in coupsettings.php.
    std::string Password = "pa\"ss$wo\\rd";

private:
    std::string FDir;
    std::string FSocket;
    TProcess FProcess;
};

struct TServerSettings {
    std::string Hostname;
    std::string Database;
    std::string Username;
    std::string Password;
    std::string InvalidPage = "http://shop.example/invalid.html";
    std::string Dsn; // written only when not empty
};

// The coupon server script with its settings under `php -S`.
class TPhpCouponServer {
public:
    ~TPhpCouponServer() { Stop(); }
    // Copies the server script into `dir`/www, writes coupsettings.php there
    // and starts PHP's built-in server with `workers` worker processes.
    void Start(const std::string& dir, const TServerSettings& settings, int workers = 4);
    void Stop();
    // "http://127.0.0.1:PORT", the site address the client is given.
    std::string SiteURL() const;
    std::string DocRoot() const { return FDocRoot; }
    int Port = 0;

private:
    std::string FDocRoot;
    TProcess FProcess;
};

// The settings script text: seven lines ended by CR LF, values escaped, and
// a $dsn line when one is given.
std::string SettingsScript(const TServerSettings& settings);

} // namespace quillory::e2e
