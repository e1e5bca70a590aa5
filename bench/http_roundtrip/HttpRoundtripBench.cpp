// Our HTTP client against libcurl on the same loopback server in the same
// run, request by request alternating between the two:
//   fresh       form POSTs, each on a new connection (the coupon requests)
//   fresh+pump  the same with the window's pump installed, as in the program:
//               our connect then waits in slices on its worker thread and
//               must end as soon as the worker reports, not after a slice
//   keep-alive  GETs on one kept-alive connection
//   https       form POSTs over TLS, each on a new connection (full handshake;
//               libcurl's session cache is off, as ours has none)
//   https k-a   GETs over one kept-alive TLS connection
// Prints the per-request medians and their ratio for each case.
//
//   http_roundtrip_bench [requests per client and case, default 2000]
#include "http/AntiFreeze.h"
#include "http/HTTPClient.h"
#include "tests/support/TestTLS.h"

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace quillory;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kClose =
    "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nOK";
const std::string kKeep =
    "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nOK";

// A thread per connection. With `keepAlive` every request on a connection is
// answered in HTTP/1.1 and the connection stays open until the client closes;
// otherwise one request is answered in HTTP/1.0 and the server closes.
class TBenchServer {
public:
    TBenchServer(bool keepAlive, SSL_CTX* tls) : FKeepAlive(keepAlive), FTLS(tls) {
        FListen = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        ::setsockopt(FListen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(FListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(FListen, 128) != 0) {
            std::perror("listen");
            std::exit(1);
        }
        socklen_t len = sizeof addr;
        ::getsockname(FListen, reinterpret_cast<sockaddr*>(&addr), &len);
        FPort = ntohs(addr.sin_port);
        FThread = std::thread([this] { Run(); });
    }
    ~TBenchServer() {
        FStop = true;
        ::shutdown(FListen, SHUT_RDWR);
        FThread.join();
        for (std::thread& t : FWorkers)
            t.join();
        ::close(FListen);
    }
    int Port() const { return FPort; }

private:
    void Run() {
        while (!FStop) {
            int s = ::accept(FListen, nullptr, nullptr);
            if (s < 0)
                continue;
            int one = 1;
            ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            FWorkers.emplace_back([this, s] {
                Serve(s);
                ::close(s);
            });
        }
    }
    void Serve(int s) {
        SSL* ssl = nullptr;
        if (FTLS) {
            ssl = SSL_new(FTLS);
            SSL_set_fd(ssl, s);
            if (SSL_accept(ssl) != 1) {
                SSL_free(ssl);
                return;
            }
        }
        auto recvSome = [&](char* b, int n) -> int {
            return ssl ? SSL_read(ssl, b, n) : static_cast<int>(::recv(s, b, n, 0));
        };
        auto sendAll = [&](const std::string& bytes) {
            if (ssl)
                SSL_write(ssl, bytes.data(), static_cast<int>(bytes.size()));
            else
                ::send(s, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        };
        std::string in;
        char block[16384];
        bool open = true;
        while (open) {
            std::size_t need = std::string::npos;
            while (need == std::string::npos || in.size() < need) {
                if (need == std::string::npos) {
                    std::size_t end = in.find("\r\n\r\n");
                    if (end != std::string::npos) {
                        std::size_t length = 0;
                        std::size_t at = in.find("Content-Length: ");
                        if (at != std::string::npos && at < end)
                            length = std::strtoul(in.c_str() + at + 16, nullptr, 10);
                        need = end + 4 + length;
                        continue;
                    }
                }
                int n = recvSome(block, sizeof block);
                if (n <= 0) {
                    open = false;
                    break;
                }
                in.append(block, static_cast<std::size_t>(n));
            }
            if (!open)
                break;
            in.erase(0, need);
            sendAll(FKeepAlive ? kKeep : kClose);
            if (!FKeepAlive)
                break;
        }
        if (ssl) {
            SSL_shutdown(ssl);
            SSL_free(ssl);
        }
        if (!FKeepAlive) {
            // Wait for the client to close, the way a server lingers on a reply.
            ::shutdown(s, SHUT_WR);
            while (::recv(s, block, sizeof block, 0) > 0) {
            }
        }
    }
    bool FKeepAlive;
    SSL_CTX* FTLS;
    int FListen = -1;
    int FPort = 0;
    std::atomic<bool> FStop{false};
    std::thread FThread;
    std::vector<std::thread> FWorkers;
};

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* userdata) {
    static_cast<std::string*>(userdata)->append(data, size * count);
    return size * count;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string ListFormBody(std::string& contentType) {
    TMultiPartFormDataStream sample;
    sample.AddFormField("action", "5");
    sample.AddFormField("end", "");
    std::string body(static_cast<std::size_t>(sample.Size()), '\0');
    sample.Read(body.data(), sample.Size());
    contentType = sample.FormContentType();
    return body;
}

struct TCase {
    const char* Name;
    bool KeepAlive;
    bool Secure;
    bool Pumping = false;
};

// Runs one case and prints its line; returns the number of failed requests.
int RunCase(const TCase& c, int requests, SSL_CTX* serverTLS, const std::string& caFile) {
    TBenchServer server(c.KeepAlive, c.Secure ? serverTLS : nullptr);
    const std::string url = std::string(c.Secure ? "https" : "http") +
                            "://localhost:" + std::to_string(server.Port()) +
                            "/coupons/couponsactions.php";

    // The pump of the program's main thread, with a hook that does nothing.
    std::unique_ptr<TAntiFreeze> pump;
    if (c.Pumping) {
        pump = std::make_unique<TAntiFreeze>();
        TAntiFreeze::SetHook([](bool) {});
    }

    THTTPClient ours;
    ours.HandleRedirects = true;
    ours.ReadTimeout(60000);

    // libcurl: the same head lines and body.
    std::string contentType;
    const std::string body = ListFormBody(contentType);
    CURL* curl = curl_easy_init();
    std::string curlReply;
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "Connection: keep-alive");
    headers = curl_slist_append(headers, ("Content-Type: " + contentType).c_str());
    headers = curl_slist_append(headers, "Accept: text/html, */*");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Mozilla/3.0 (compatible; Quillory)");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &curlReply);
    curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
    curl_easy_setopt(curl, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    if (c.KeepAlive) {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
        curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    }

    std::vector<double> oursUs, curlUs;
    int failures = 0;
    // A few rounds first so both have warm caches and open connections.
    const int warmup = 20;
    for (int i = 0; i < requests + warmup; ++i) {
        {
            auto t0 = Clock::now();
            std::string reply;
            try {
                if (c.KeepAlive) {
                    reply = ours.Get(url);
                } else {
                    TMultiPartFormDataStream form;
                    form.AddFormField("action", "5");
                    form.AddFormField("end", "");
                    reply = ours.PostForm(url, form);
                }
            } catch (const std::exception& e) {
                std::fprintf(stderr, "ours: %s\n", e.what());
            }
            auto t1 = Clock::now();
            failures += reply != "OK";
            if (i >= warmup)
                oursUs.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        }
        {
            curlReply.clear();
            auto t0 = Clock::now();
            CURLcode rc = curl_easy_perform(curl);
            auto t1 = Clock::now();
            if (rc != CURLE_OK)
                std::fprintf(stderr, "libcurl: %s\n", curl_easy_strerror(rc));
            failures += rc != CURLE_OK || curlReply != "OK";
            if (i >= warmup)
                curlUs.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        }
    }
    ours.CloseConnection();
    if (pump)
        TAntiFreeze::SetHook(nullptr);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);

    const double a = Median(oursUs), b = Median(curlUs);
    std::printf("%-12s quillory %8.1f us   libcurl %8.1f us   ratio %.3f\n", c.Name, a, b,
                b > 0 ? a / b : 0.0);
    return failures;
}

} // namespace

int main(int argc, char** argv) {
    const int requests = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    std::signal(SIGPIPE, SIG_IGN);
    // A CA made for the run; our client finds it through SSL_CERT_FILE,
    // libcurl through CURLOPT_CAINFO.
    testsupport::TTestCA& ca = testsupport::TrustedTestCA();
    testsupport::TServerContext serverTLS = ca.ServerContext();
    curl_global_init(CURL_GLOBAL_DEFAULT);

    std::printf("median per request over %d requests per client and case (loopback)\n", requests);
    const TCase cases[] = {{"fresh", false, false},
                           {"fresh+pump", false, false, true},
                           {"keep-alive", true, false},
                           {"https", false, true},
                           {"https k-a", true, true}};
    int failures = 0;
    for (const TCase& c : cases)
        failures += RunCase(c, requests, serverTLS.get(), ca.CertFile());
    curl_global_cleanup();
    if (failures)
        std::printf("failed requests: %d\n", failures);
    return failures ? 1 : 0;
}
