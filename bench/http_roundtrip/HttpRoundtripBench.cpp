// Sequential form POSTs to one loopback server, each on a fresh connection
// (the way the program sends its coupon requests): our client against
// libcurl sending the same bytes to the same server in the same run. Prints
// the per-request medians and their ratio.
//
//   http_roundtrip_bench [requests per client, default 2000]
#include "http/HTTPClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

const char kReply[] = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nOK";

// One connection at a time: read the request (head and Content-Length body),
// answer, close.
class TBenchServer {
public:
    TBenchServer() {
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
            Serve(s);
            ::close(s);
        }
    }
    void Serve(int s) {
        std::string in;
        char block[16384];
        std::size_t need = std::string::npos;
        while (need == std::string::npos || in.size() < need) {
            ssize_t n = ::recv(s, block, sizeof block, 0);
            if (n <= 0)
                return;
            in.append(block, static_cast<std::size_t>(n));
            std::size_t end = in.find("\r\n\r\n");
            if (need == std::string::npos && end != std::string::npos) {
                std::size_t length = 0;
                std::size_t at = in.find("Content-Length: ");
                if (at != std::string::npos && at < end)
                    length = std::strtoul(in.c_str() + at + 16, nullptr, 10);
                need = end + 4 + length;
            }
        }
        ::send(s, kReply, sizeof kReply - 1, MSG_NOSIGNAL);
        // Wait for the client to close, the way a server lingers on a reply.
        ::shutdown(s, SHUT_WR);
        while (::recv(s, block, sizeof block, 0) > 0) {
        }
    }
    int FListen = -1;
    int FPort = 0;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

std::size_t Discard(char*, std::size_t size, std::size_t count, void* userdata) {
    static_cast<std::string*>(userdata)->append(size * count, 'x');
    return size * count;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int requests = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    TBenchServer server;
    const std::string url =
        "http://127.0.0.1:" + std::to_string(server.Port()) + "/coupons/couponsactions.php";

    THTTPClient ours;
    ours.HandleRedirects = true;
    ours.ReadTimeout(60000);

    // libcurl: the same body bytes and the same head lines, HTTP/1.0, a new
    // connection for every request.
    TMultiPartFormDataStream sample;
    sample.AddFormField("action", "5");
    sample.AddFormField("end", "");
    std::string body(static_cast<std::size_t>(sample.Size()), '\0');
    sample.Read(body.data(), sample.Size());
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURL* curl = curl_easy_init();
    std::string curlReply;
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "Connection: keep-alive");
    headers = curl_slist_append(headers, ("Content-Type: " + sample.FormContentType()).c_str());
    headers = curl_slist_append(headers, "Accept: text/html, */*");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Mozilla/3.0 (compatible; Quillory)");
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Discard);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &curlReply);

    std::vector<double> oursUs, curlUs;
    oursUs.reserve(static_cast<std::size_t>(requests));
    curlUs.reserve(static_cast<std::size_t>(requests));
    int failures = 0;
    // Alternate the two so both see the same machine state.
    for (int i = 0; i < requests; ++i) {
        {
            TMultiPartFormDataStream form;
            form.AddFormField("action", "5");
            form.AddFormField("end", "");
            auto t0 = Clock::now();
            std::string reply;
            try {
                reply = ours.PostForm(url, form);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "ours: %s\n", e.what());
            }
            auto t1 = Clock::now();
            failures += reply != "OK";
            oursUs.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        }
        {
            curlReply.clear();
            auto t0 = Clock::now();
            CURLcode rc = curl_easy_perform(curl);
            auto t1 = Clock::now();
            failures += rc != CURLE_OK || curlReply.size() != 2;
            curlUs.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        }
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    curl_global_cleanup();

    const double a = Median(oursUs), b = Median(curlUs);
    std::printf("requests per client: %d (fresh connection each)\n", requests);
    std::printf("median per request: quillory %.1f us, libcurl %.1f us\n", a, b);
    std::printf("ratio quillory/libcurl: %.3f\n", b > 0 ? a / b : 0.0);
    if (failures)
        std::printf("failed requests: %d\n", failures);
    return failures ? 1 : 0;
}
