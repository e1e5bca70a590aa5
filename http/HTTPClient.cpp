#include "http/HTTPClient.h"

#include "http/TextUtils.h"

#include "http/AntiFreeze.h"
#include "http/InternetDate.h"
#include "platform/DateTime.h"

#include <cctype>
#include <limits>

namespace quillory {

namespace {

using text::SameText;
using text::Trim;
using text::Upper;

const char* MethodWord(THTTPMethod m) {
    switch (m) {
    case hmHead:
        return "HEAD";
    case hmGet:
        return "GET";
    case hmPost:
        return "POST";
    case hmOptions:
        return "OPTIONS";
    case hmTrace:
        return "TRACE";
    case hmPut:
        return "PUT";
    case hmDelete:
        return "DELETE";
    case hmConnect:
        return "CONNECT";
    }
    return "GET";
}

// The size on a chunk size line: the hexadecimal number before any
// extension (after ";", a blank or a tab). A line without such a number is
// malformed; a size beyond what the body limit `limit` (-1: none) still
// allows after `total` bytes is refused before a byte of it is read, however
// many digits it has.
std::int64_t ChunkSize(const std::string& line, std::int64_t total, std::int64_t limit) {
    const std::string text = Trim(line.substr(0, line.find_first_of("; \t")));
    if (text.empty())
        throw EReplyMalformed("The server's reply cannot be read: a chunk of it has no size.");
    const std::int64_t most = limit >= 0 ? limit - total : std::numeric_limits<std::int64_t>::max();
    std::int64_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            throw EReplyMalformed("The server's reply cannot be read: a chunk size is not a "
                                  "hexadecimal number.");
        if (digit > most || value > (most - digit) / 16) {
            if (limit >= 0)
                throw EReplyLimitExceeded::BodyTooLarge(limit);
            throw EReplyMalformed("The server's reply cannot be read: a chunk size is too large.");
        }
        value = value * 16 + digit;
    }
    return value;
}

const char* const kChunkedCutShort = "The server closed the connection before the last chunk "
                                     "of its reply; the reply is incomplete.";

// Marks a client busy for the length of one exchange.
class TBusyGuard {
public:
    explicit TBusyGuard(bool& flag) : FFlag(flag) {
        if (FFlag)
            throw ERequestInProgress();
        FFlag = true;
    }
    ~TBusyGuard() { FFlag = false; }
    TBusyGuard(const TBusyGuard&) = delete;
    TBusyGuard& operator=(const TBusyGuard&) = delete;

private:
    bool& FFlag;
};

} // namespace

std::string EncodeBase64(const std::string& bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                     static_cast<unsigned char>(bytes[i + 1]) << 8 |
                     static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string TBasicAuthentication::Authentication() const {
    return "Basic " + EncodeBase64(Username + ":" + Password);
}

THTTPRequest::THTTPRequest() {
    ContentType = "text/html";
}

// --- THTTPClient ------------------------------------------------------------

THTTPClient::THTTPClient() {
    Port = 80;
    FURI.Port = "80";
}

THTTPClient::~THTTPClient() = default;

void THTTPClient::SetCookieManager(TCookieManager* manager) {
    if (manager == FCookieManager)
        return;
    FOwnedCookieManager.reset();
    FCookieManager = manager;
}

void THTTPClient::CheckNotBusy() const {
    if (FBusy)
        throw ERequestInProgress();
}

std::string THTTPClient::PostForm(const std::string& url, TMultiPartFormDataStream& form) {
    CheckNotBusy();
    FRequest.ContentType = form.FormContentType();
    TStringStream target;
    PostStream(url, form, target);
    return target.TakeDataString();
}

void THTTPClient::PostStream(const std::string& url, TStream& source, TStream& target) {
    CheckNotBusy();
    // A POST never reuses a connection.
    if (IsConnected())
        CloseConnection();
    const THTTPProtocolVersion remembered = ProtocolVersion;
    if (!(HTTPOptions & hoKeepOrigProtocol))
        ProtocolVersion = pv1_0;
    try {
        PerformExchange(hmPost, url, &source, &target);
    } catch (...) {
        ProtocolVersion = remembered;
        throw;
    }
    ProtocolVersion = remembered;
}

void THTTPClient::GetToStream(const std::string& url, TStream& target) {
    PerformExchange(hmGet, url, nullptr, &target);
}

std::string THTTPClient::Get(const std::string& url) {
    TStringStream target;
    GetToStream(url, target);
    return target.TakeDataString();
}

void THTTPClient::PerformExchange(THTTPMethod method, const std::string& url, TStream* source,
                                  TStream* target) {
    TBusyGuard busy(FBusy);
    const std::int64_t start = target ? target->Position() : 0;
    FAuthRetries = 0;
    FAuthProxyRetries = 0;
    FInterimReplies = 0;
    FDeadlineStarted = false;
    FOriginalURL = url;
    FRequest.URL = url;
    FRequest.Method = method;
    FRequest.Source = source;
    FResponse.ContentStream = target;

    // The caller's streams are not kept beyond the exchange.
    struct TForgetStreams {
        THTTPClient& C;
        ~TForgetStreams() {
            C.FRequest.Source = nullptr;
            C.FResponse.ContentStream = nullptr;
        }
    } forget{*this};
    auto finish = [this] {
        SetDeadline(0);
        FRedirectCount = 0;
        if (!KeepConnection())
            CloseConnection();
    };
    try {
        bool more = true;
        while (more) {
            ++FRedirectCount;
            PrepareRequest();
            SendAndReadHead();
            switch (ProcessReply()) {
            case TOutcome::Follow:
                if (target) {
                    // Whatever this hop wrote is dropped.
                    target->SetPosition(start);
                    target->SetSize(start);
                }
                FAuthRetries = 0;
                FAuthProxyRetries = 0;
                break;
            case TOutcome::Done:
                more = false;
                break;
            case TOutcome::Undefined:
                throw ENetException("Undefined situation");
            case TOutcome::AuthRetry:
                --FRedirectCount;
                FRequest.URL = FOriginalURL;
                break;
            }
        }
    } catch (...) {
        // After a failure the connection may still hold part of a reply (a
        // body cut by a time-out, an unread error body): it is never reused.
        SetDeadline(0);
        FRedirectCount = 0;
        CloseConnection();
        throw;
    }
    finish();
}

TURI ResolveTarget(const TURI& current, const TURI& parsed) {
    TURI target = current;
    target.Path = MergePath(current.Path, parsed.Path);
    target.Document = parsed.Document;
    target.Params = parsed.Params;
    if (!parsed.Host.empty())
        target.Host = parsed.Host;
    // An address without a scheme continues from the current target, its
    // scheme included: a relative redirect on an "https" site stays secure.
    if (!parsed.Protocol.empty())
        target.Protocol = parsed.Protocol;
    else if (current.Protocol.empty())
        target.Protocol = "http";
    if (!parsed.Port.empty()) {
        target.Port = parsed.Port;
    } else {
        int port = 0;
        const bool numeric = TryStrToInt(current.Port, port);
        if (!parsed.Host.empty() || !numeric || port == 0 || port == 80 || port == 443)
            target.Port = std::to_string(DefaultPort(target.Protocol));
    }
    target.Bookmark.clear();
    target.Username.clear();
    target.Password.clear();
    return target;
}

namespace {

// A scheme at the start of `location` ("file:", "mailto:"), as RFC 3986
// reads it: a letter, then letters, digits, "+", "-" or ".", then ":",
// before any "/", "?" or "#". Empty when there is none.
std::string SchemeOf(const std::string& location) {
    for (std::size_t i = 0; i < location.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(location[i]);
        if (c == ':')
            return i == 0 ? std::string() : location.substr(0, i);
        const bool ok =
            std::isalpha(c) || (i > 0 && (std::isdigit(c) || c == '+' || c == '-' || c == '.'));
        if (!ok)
            return std::string();
    }
    return std::string();
}

// An address from a reply as a message may quote it: without a password,
// and cut when a server sends something very long.
std::string QuotedAddress(const std::string& url) {
    std::string shown = RedactURLPassword(url);
    if (shown.size() > 200)
        shown = shown.substr(0, 200) + "...";
    return "\"" + shown + "\"";
}

std::string OriginText(const TURI& u) {
    std::string scheme = u.Protocol;
    for (char& c : scheme)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string origin = scheme + "://" + u.Host + ":" + u.Port;
    if (origin.size() > 200)
        origin = origin.substr(0, 200) + "...";
    return origin;
}

} // namespace

std::optional<std::string> RedirectRefusal(const TURI& from, const TURI& to, bool withBody) {
    const bool toSecure = SameText(to.Protocol, "https");
    if (!toSecure && !SameText(to.Protocol, "http"))
        return "The server redirected the request to an address that is not http or https; it "
               "was not followed.";
    if (SameText(from.Protocol, "https") && !toSecure)
        return "The server redirected the secure (https) request to a plain http address; it "
               "was not followed, so nothing went out unencrypted.";
    if (withBody && (!SameText(from.Protocol, to.Protocol) || !SameText(from.Host, to.Host) ||
                     from.Port != to.Port))
        return "The server redirected the form to another address (" + OriginText(to) +
               "); it was not sent again there. If that is the right place, use that address "
               "as the site address.";
    return std::nullopt;
}

void THTTPClient::PrepareRequest() {
    // Control characters never reach the wire (a line break would start a
    // header line of someone else's).
    for (char c : FRequest.URL)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            throw EInvalidURL();
    if (auto problem = UserInfoProblem(FRequest.URL))
        throw EInvalidUserInfo(*problem);
    TURI parsed(FRequest.URL);
    const bool startOfExchange = FRequest.URL == FOriginalURL && FRedirectCount <= 1;
    FURI = ResolveTarget(FURI, parsed);
    FRequest.URL.clear();
    for (char c : FURI.RequestTarget()) {
        if (c == ' ')
            FRequest.URL += "%20";
        else
            FRequest.URL += c;
    }
    TakeCredentials(parsed, startOfExchange);
    // The request record shows the credentials that go with this hop, and
    // none on a hop to another host.
    if (CredentialsApply()) {
        FRequest.Username = FCredentials.Username;
        FRequest.Password = FCredentials.Password;
    } else {
        FRequest.Username.clear();
        FRequest.Password.clear();
    }

    const THTTPMethod m = FRequest.Method;
    if (ProtocolVersion == pv1_0 && (m == hmOptions || m == hmTrace || m == hmPut || m == hmDelete))
        throw ENetException("This request method is supported in HTTP 1.1");
    if ((m == hmPost || m == hmPut) && FRequest.Source != nullptr)
        FRequest.ContentLength = FRequest.Source->Size();
    else
        FRequest.ContentLength = -1;
    FRequest.Host = FURI.Port == "80" ? FURI.Host : FURI.Host + ":" + FURI.Port;
}

void THTTPClient::TakeCredentials(const TURI& parsed, bool startOfExchange) {
    if (!parsed.Username.empty()) {
        FCredentials.Username = URLDecode(parsed.Username);
        FCredentials.Password = URLDecode(parsed.Password);
        FCredentials.Protocol = FURI.Protocol;
        FCredentials.Host = FURI.Host;
        FCredentials.Port = FURI.Port;
    } else if (startOfExchange && !parsed.Host.empty()) {
        // A new exchange to an address without credentials: the ones of an
        // earlier address are not carried over to it.
        FCredentials = TSiteCredentials();
    }
}

bool CredentialsGoTo(const TURI& site, const TURI& target) {
    if (site.Host.empty() || !SameText(target.Host, site.Host))
        return false;
    const bool wasPlain = !SameText(site.Protocol, "https");
    const bool isPlain = !SameText(target.Protocol, "https");
    // Never from a secure address down to plain text.
    if (isPlain && !wasPlain)
        return false;
    if (target.Port == site.Port)
        return true;
    // The usual move of a site from plain HTTP to HTTPS on the same host.
    return wasPlain && !isPlain && site.Port == "80" && target.Port == "443";
}

bool THTTPClient::CredentialsApply() const {
    TURI site;
    site.Protocol = FCredentials.Protocol;
    site.Host = FCredentials.Host;
    site.Port = FCredentials.Port;
    return FCredentials.Set() && CredentialsGoTo(site, FURI);
}

void THTTPClient::PollForClose() {
    // A keep-alive connection the server has closed meanwhile (or on which
    // it sent something unasked) is replaced by a new one. The check does
    // not wait: a reused connection costs no more than its request.
    if (IsConnected() && !IdleConnectionUsable())
        CloseConnection();
}

void THTTPClient::SendAndReadHead() {
    FReusedConnection = false;
    try {
        ConnectAndSend();
        ReadReplyHead();
    } catch (const ENetException&) {
        // A kept-alive connection the server closed just as the request went
        // out (the close was still on its way when the idle check ran): when
        // not a byte of a reply came back, the request is sent once more on
        // a new connection. Only GETs reuse connections; a POST never does.
        if (!FReusedConnection || BytesReceived() != 0)
            throw;
        CloseConnection();
        ConnectAndSend();
        ReadReplyHead();
    }
}

void THTTPClient::ConnectAndSend() {
    // Requests go straight to the URL's host; there is no proxy transport.
    if (!FProxyParams.ProxyServer.empty())
        throw ENetException("Proxy servers are not supported.");
    const int port = StrToInt(FURI.Port);
    const bool secure = SameText(FURI.Protocol, "https");
    if (!SameText(Host, FURI.Host) || Port != port || (IsConnected() && Secure() != secure)) {
        CloseConnection();
        Host = FURI.Host;
        Port = port;
    }
    if (ProtocolVersion == pv1_0 && FRequest.Connection.empty())
        FRequest.Connection = "keep-alive";
    if (!KeepConnection())
        CloseConnection();
    PollForClose();
    FReusedConnection = IsConnected();
    if (FReusedConnection)
        ResetBytesReceived();
    else
        OpenConnection(Host, Port, ReadTimeout(), secure);
    // The exchange's time limit runs from the first byte of its first request.
    if (!FDeadlineStarted) {
        SetDeadline(ExchangeTimeout);
        FDeadlineStarted = true;
    }
    BuildAndSendHead();
    if ((FRequest.Method == hmPost || FRequest.Method == hmPut) && FRequest.Source != nullptr)
        SendStream(*FRequest.Source, true);
}

void THTTPClient::BuildAndSendHead() {
    THTTPRequest& r = FRequest;
    THeaderList& h = r.RawHeaders;
    h.Clear();
    h.SetValue("Connection", r.Connection);
    h.SetValue("Content-Version", r.ContentVersion);
    h.SetValue("Content-Encoding", r.ContentEncoding);
    h.SetValue("Content-Language", r.ContentLanguage);
    h.SetValue("Content-Type", r.ContentType);
    if (r.ContentLength >= 0)
        h.SetValue("Content-Length", std::to_string(r.ContentLength));
    h.SetValue("Cache-control", r.CacheControl);
    if (r.Date > 0)
        h.SetValue("Date", LocalDateTimeToGMT(r.Date));
    if (r.Expires > 0)
        h.SetValue("Expires", LocalDateTimeToGMT(r.Expires));
    h.SetValue("Pragma", r.Pragma);
    h.AddStrings(r.CustomHeaders.Lines());
    h.SetValue("Proxy-Connection", r.ProxyConnection);
    h.SetValue("Host", r.Host);
    h.SetValue("Accept", r.Accept);
    h.SetValue("Accept-Charset", r.AcceptCharSet);
    h.SetValue("Accept-Encoding", r.AcceptEncoding);
    h.SetValue("Accept-Language", r.AcceptLanguage);
    h.SetValue("From", r.From);
    h.SetValue("Referer", r.Referer);
    h.SetValue("User-Agent", r.UserAgent);
    if (r.LastModified > 0)
        h.SetValue("If-Modified-Since", LocalDateTimeToGMT(r.LastModified));
    if (r.ContentRangeStart != 0 || r.ContentRangeEnd != 0) {
        std::string range = "bytes=" + std::to_string(r.ContentRangeStart) + "-";
        if (r.ContentRangeEnd != 0)
            range += std::to_string(r.ContentRangeEnd);
        h.SetValue("Range", range);
    }
    if (CredentialsApply())
        h.SetValue(
            "Authorization",
            TBasicAuthentication{FCredentials.Username, FCredentials.Password}.Authentication());
    else if (r.Authentication)
        h.SetValue("Authorization", r.Authentication->Authentication());
    else if (r.BasicAuthentication)
        h.SetValue("Authorization", TBasicAuthentication{r.Username, r.Password}.Authentication());
    if (FProxyParams.Authentication)
        h.SetValue("Proxy-Authorization", FProxyParams.Authentication->Authentication());
    else if (FProxyParams.BasicAuthentication)
        h.SetValue("Proxy-Authorization", TBasicAuthentication{}.Authentication());
    if (FCookieManager)
        h.SetValue("Cookie", FCookieManager->GenerateCookieList(FURI.Host, FURI.Path,
                                                                SameText(FURI.Protocol, "https")));

    std::string head = std::string(MethodWord(r.Method)) + " " + r.URL + " HTTP/" +
                       (ProtocolVersion == pv1_0 ? "1.0" : "1.1") + "\r\n";
    for (const std::string& line : h.Lines())
        if (!line.empty())
            head += line + "\r\n";
    head += "\r\n";
    // The head goes out as one block.
    OpenWriteBuffer(-1);
    try {
        SendBytes(head);
        CloseWriteBuffer();
    } catch (...) {
        CancelWriteBuffer();
        throw;
    }
}

std::string THTTPClient::ReadHeadLine(bool counted) {
    const int limit = MaxLineLength > 0 && MaxLineLength < kMaxReplyLineLength
                          ? MaxLineLength
                          : kMaxReplyLineLength;
    std::string line = ReadLine("\n", -1, limit);
    if (!counted)
        return line;
    if (++FHeadLines > kMaxReplyHeadLines)
        throw EReplyLimitExceeded("The server's reply head has more than " +
                                  std::to_string(kMaxReplyHeadLines) + " lines.");
    FHeadBytes += line.size() + 2;
    if (FHeadBytes > kMaxReplyHeadSize)
        throw EReplyLimitExceeded("The server's reply head is larger than " +
                                  SizeText(kMaxReplyHeadSize) + ".");
    return line;
}

void THTTPClient::ReadReplyHead() {
    // The limits count every line of this reply's heads, the interim ones
    // included.
    FHeadLines = 0;
    FHeadBytes = 0;
    while (true) {
        FResponse.StatusLine = ReadHeadLine();
        FResponse.RawHeaders.Clear();
        try {
            while (true) {
                std::string line = ReadHeadLine();
                if (line.empty())
                    break;
                FResponse.RawHeaders.Add(line);
            }
        } catch (const EConnClosedGracefully&) {
            // The server closed in the middle of the head: the lines read so
            // far count; what that means is decided from the status.
        }
        ProcessHeaders();
        HandleCookies();
        if (FResponse.StatusCode != 100)
            break;
        if (++FInterimReplies > kMaxInterimReplies)
            throw EReplyLimitExceeded("The server sent more than " +
                                      std::to_string(kMaxInterimReplies) + " interim replies.");
    }
}

void THTTPClient::ProcessHeaders() {
    THTTPResponse& r = FResponse;
    const THeaderList& h = r.RawHeaders;

    std::string rest = r.StatusLine;
    std::size_t space = rest.find(' ');
    rest = space == std::string::npos ? "" : Trim(rest.substr(space + 1));
    int code = -1;
    if (!TryStrToInt(rest.substr(0, rest.find(' ')), code))
        code = -1;
    r.StatusCode = code;

    r.Location = h.Values("Location");
    r.Connection = h.Values("Connection");
    r.ProxyConnection = h.Values("Proxy-Connection");
    std::int64_t length = -1;
    if (!TryStrToInt64(Trim(h.Values("Content-Length")), length) || length < 0)
        length = -1;
    r.ContentLength = length;
    r.HasContentLength = length >= 0;
    r.ContentType = h.Values("Content-Type");
    r.ContentVersion = h.Values("Content-Version");
    r.ContentEncoding = h.Values("Content-Encoding");
    r.ContentLanguage = h.Values("Content-Language");
    r.Server = h.Values("Server");
    r.Pragma = h.Values("Pragma");
    r.CacheControl = h.Values("Cache-control");
    r.TransferEncoding = h.Values("Transfer-Encoding");
    r.ContentRangeStart = 0;
    r.ContentRangeEnd = 0;
    if (h.IndexOfName("Content-Range") >= 0) {
        std::string range = h.Values("Content-Range");
        range =
            range.substr(range.find(' ') == std::string::npos ? range.size() : range.find(' ') + 1);
        std::size_t dash = range.find('-');
        std::size_t slash = range.find('/', dash == std::string::npos ? 0 : dash);
        std::string first = range.substr(0, dash);
        std::string last =
            dash == std::string::npos
                ? ""
                : range.substr(dash + 1,
                               slash == std::string::npos ? std::string::npos : slash - dash - 1);
        r.ContentRangeStart = StrToInt(first);
        r.ContentRangeEnd = StrToInt(last);
    }
    r.Date = GMTToLocalDateTime(h.Values("Date"));
    r.LastModified = GMTToLocalDateTime(h.Values("Last-Modified"));
    std::string expires = h.Values("Expires");
    int seconds = 0;
    if (TryStrToInt(expires, seconds) && seconds != -1)
        r.Expires = Now() + seconds / 86400.0;
    else
        r.Expires = GMTToLocalDateTime(expires);
    r.WWWAuthenticate = h.AllValues("WWW-Authenticate");
    r.ProxyAuthenticate = h.AllValues("Proxy-Authenticate");
}

void THTTPClient::HandleCookies() {
    if (FCookieManager == nullptr && AllowCookies) {
        FOwnedCookieManager = std::make_unique<TCookieManager>();
        FCookieManager = FOwnedCookieManager.get();
    }
    if (FCookieManager)
        FCookieManager->AddCookies(FResponse.RawHeaders.AllValues("Set-cookie"),
                                   FResponse.RawHeaders.AllValues("Set-cookie2"), FURI.Host);
}

void THTTPClient::CheckRedirect(const std::string& location, THTTPMethod method) const {
    const bool withBody = (method == hmPost || method == hmPut) && FRequest.Source != nullptr;
    const std::string scheme = SchemeOf(location);
    std::optional<std::string> refusal;
    if (!scheme.empty() && location.find("://") != scheme.size()) {
        // "mailto:x", "javascript:x", "file:/x", "http:x": nothing this
        // client can follow.
        refusal = "The server redirected the request to an address that is not an http or https "
                  "address it can follow; it was not followed.";
    } else {
        TURI to;
        try {
            to = ResolveTarget(FURI, TURI(location));
        } catch (const EUnknownProtocol&) {
            to.Protocol = TURI(location).Protocol; // "file://..." and the like
        }
        refusal = RedirectRefusal(FURI, to, withBody);
    }
    if (refusal)
        throw ERedirectRefused(*refusal + " The address was " + QuotedAddress(location) + ".");
}

bool THTTPClient::AskRedirect(std::string& location, THTTPMethod& method) {
    bool handled = HandleRedirects;
    if (OnRedirect) {
        int count = FRedirectCount; // changes made by the handler are not used
        OnRedirect(location, count, handled, method);
    }
    return handled;
}

THTTPClient::TOutcome THTTPClient::ProcessReply() {
    const int code = FResponse.StatusCode;
    const int kind = code / 100;
    if ((kind == 3 && code != 304) || !FResponse.Location.empty()) {
        std::string location = FResponse.Location;
        THTTPMethod method = FRequest.Method;
        const bool withinLimit = HandleRedirects && FRedirectCount < RedirectMaximum;
        if (!AskRedirect(location, method))
            RaiseProtocolError();
        DiscardBody(4000);
        if (!withinLimit)
            return TOutcome::Done; // the caller gets an empty body
        CheckRedirect(location, method);
        FRequest.URL = location;
        FRequest.Method = method;
        return TOutcome::Follow;
    }
    if (kind == 2) {
        if (!IsConnected())
            return TOutcome::Undefined;
        if (code != 204)
            ReadBody(FResponse.ContentStream, MaxBodySize);
        return TOutcome::Done;
    }
    if (code == 401 || code == 407) {
        const bool proxy = code == 407;
        int& tries = proxy ? FAuthProxyRetries : FAuthRetries;
        if (tries >= AuthRetries || !DoAuthorization(proxy))
            RaiseProtocolError();
        return TOutcome::AuthRetry;
    }
    RaiseProtocolError();
}

bool THTTPClient::DoAuthorization(bool proxy) {
    int& tries = proxy ? FAuthProxyRetries : FAuthRetries;
    ++tries;
    std::vector<std::string> challenges =
        proxy ? FResponse.ProxyAuthenticate : FResponse.WWWAuthenticate;
    if (proxy && challenges.size() > 1)
        challenges.resize(1); // only the first proxy challenge is looked at
    for (const std::string& challenge : challenges) {
        std::string scheme = Trim(challenge).substr(0, Trim(challenge).find(' '));
        if (!SameText(scheme, "Basic"))
            continue;
        std::unique_ptr<TBasicAuthentication>& slot =
            proxy ? FProxyParams.Authentication : FRequest.Authentication;
        if (!slot)
            slot = std::make_unique<TBasicAuthentication>();
        break;
    }
    // There is no source of credentials to ask: the retry is declined and the
    // challenge reaches the caller as a protocol error.
    return false;
}

void THTTPClient::ReadBody(TStream* target, std::int64_t limit) {
    if (target == nullptr)
        return;
    const THTTPResponse& r = FResponse;
    const std::int64_t start = target->Position();
    if (r.ContentLength > 0) {
        // A stated length above the limit is refused before a byte of it is read.
        if (limit >= 0 && r.ContentLength > limit)
            throw EReplyLimitExceeded::BodyTooLarge(limit);
        // Room for exactly the stated length, made once.
        target->PlanCapacity(start + r.ContentLength);
        target->Reserve(start + r.ContentLength);
        try {
            ReadToStream(*target, r.ContentLength, false);
        } catch (const EConnClosedGracefully&) {
            throw EReplyIncomplete(std::string("The server closed the connection after ") +
                                   std::to_string(target->Position() - start) + " of the " +
                                   std::to_string(r.ContentLength) +
                                   " bytes its reply announced; the reply is incomplete.");
        }
    } else if (r.TransferEncoding.find("chunked") != std::string::npos) {
        if (limit >= 0)
            target->PlanCapacity(start + limit);
        ReadChunked(*target, limit);
    } else if (!r.HasContentLength) {
        if (limit >= 0)
            target->PlanCapacity(start + limit);
        ReadToStream(*target, -1, true, limit);
    }
}

void THTTPClient::ReadChunked(TStream& target, std::int64_t limit) {
    std::int64_t total = 0;
    // Size lines are held to the line length; the body's total to `limit`.
    // A close before the last chunk leaves the reply incomplete.
    auto sizeLine = [this] {
        std::string line;
        try {
            line = ReadHeadLine(false);
        } catch (const EConnClosedGracefully&) {
            throw EReplyIncomplete(kChunkedCutShort);
        }
        if (ReadLnTimedOut()) // an unterminated line, then the close
            throw EReplyIncomplete(kChunkedCutShort);
        return line;
    };
    std::int64_t size = ChunkSize(sizeLine(), total, limit);
    while (size > 0) {
        total += size;
        if (limit >= 0 && total > limit) // ChunkSize refuses this already
            throw EReplyLimitExceeded::BodyTooLarge(limit);
        try {
            ReadToStream(target, size, false);
        } catch (const EConnClosedGracefully&) {
            throw EReplyIncomplete(kChunkedCutShort);
        }
        sizeLine(); // the line end after the data
        size = ChunkSize(sizeLine(), total, limit);
    }
    // Trailer lines, up to the empty line that ends the body. Leaving any of
    // them unread would make them the start of the next reply on a kept
    // connection. They are held to the same limits as a head. The body is
    // whole by now: a close among them only ends the connection.
    FHeadLines = 0;
    FHeadBytes = 0;
    try {
        while (!ReadHeadLine().empty() && !ReadLnTimedOut()) {
        }
    } catch (const EConnClosedGracefully&) {
    }
}

void THTTPClient::DiscardBody(int timeoutMs) {
    if (!IsConnected())
        return;
    const int remembered = ReadTimeout();
    SetReadTimeout(timeoutMs);
    TStringStream scratch;
    try {
        ReadBody(&scratch, kMaxErrorBodySize);
    } catch (const std::exception&) {
        // The body of a redirect is of no interest; failing to read it is not
        // a failure of the exchange.
    }
    SetReadTimeout(remembered);
}

void THTTPClient::RaiseProtocolError() {
    const int remembered = ReadTimeout();
    SetReadTimeout(2000);
    TStringStream scratch;
    try {
        ReadBody(&scratch, kMaxErrorBodySize);
    } catch (const ENetException&) {
        // The error reply is what the caller must hear about, not a time-out
        // or a close while its body was being read.
    }
    SetReadTimeout(remembered);
    throw EHTTPProtocolException(FResponse.StatusLine, FResponse.StatusCode, scratch.DataString());
}

bool THTTPClient::KeepConnection() {
    const std::string version =
        FResponse.StatusLine.size() >= 8 ? Upper(FResponse.StatusLine.substr(5, 3)) : std::string();
    if (version == "1.0")
        FResponse.ResponseVersion = 0;
    else if (version == "1.1")
        FResponse.ResponseVersion = 1;
    if (!IsConnected())
        return false;
    const std::string connection = Upper(Trim(FResponse.Connection));
    const std::string proxyConnection = Upper(Trim(FResponse.ProxyConnection));
    if (ProtocolVersion == pv1_0)
        return connection == "KEEP-ALIVE" || proxyConnection == "KEEP-ALIVE";
    return !(connection == "CLOSE" || proxyConnection == "CLOSE");
}

} // namespace quillory
