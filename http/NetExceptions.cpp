#include "http/NetExceptions.h"

#include "http/SocketStack.h"

#include <cctype>
#include <limits>

namespace quillory {

TNetFailureKind SocketFailureKind(int errorNumber) {
    switch (errorNumber) {
    case WSAECONNREFUSED:
        return TNetFailureKind::Refused;
    case WSAETIMEDOUT:
        return TNetFailureKind::TimedOut;
    case WSAHOST_NOT_FOUND:
    case WSATRY_AGAIN:
    case WSANO_DATA:
        return TNetFailureKind::UnknownHost;
    case WSAENETDOWN:
    case WSAENETUNREACH:
    case WSAEHOSTDOWN:
    case WSAEHOSTUNREACH:
        return TNetFailureKind::Unreachable;
    default:
        return TNetFailureKind::Other;
    }
}

ESocketError::ESocketError(int errorNumber)
    : ESocketFailure(TSocketStack::SocketErrorMessage(errorNumber), errorNumber) {}

int EConnectTimeout::SocketError() const {
    return WSAETIMEDOUT;
}

EExchangeTimeout::EExchangeTimeout(int limitMs)
    : ENetException([limitMs] {
          std::string seconds = std::to_string(limitMs / 1000);
          if (limitMs % 1000 != 0) {
              // Tenths are enough for the short limits tests set.
              seconds += '.';
              seconds += std::to_string((limitMs % 1000) / 100);
          }
          return "The server took too long to answer (" + seconds + " s).";
      }()) {}

EReplyLimitExceeded EReplyLimitExceeded::BodyTooLarge(std::int64_t limit) {
    return EReplyLimitExceeded("The server's reply is larger than " + SizeText(limit) + ".");
}

std::string SizeText(std::int64_t bytes) {
    if (bytes > 0 && bytes % (1 << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    if (bytes > 0 && bytes % 1024 == 0)
        return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}

bool TryStrToInt64(const std::string& text, std::int64_t& out) {
    std::size_t i = 0, n = text.size();
    while (i < n && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    while (n > i && (text[n - 1] == ' ' || text[n - 1] == '\t'))
        --n;
    bool negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= n)
        return false;
    // Accumulate as a negative number so the most negative value fits.
    std::int64_t value = 0;
    const std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    for (; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isdigit(c))
            return false;
        int digit = c - '0';
        if (value < (lowest + digit) / 10)
            return false;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == lowest)
            return false;
        value = -value;
    }
    out = value;
    return true;
}

bool TryStrToInt(const std::string& text, int& out) {
    std::int64_t v = 0;
    if (!TryStrToInt64(text, v) || v < std::numeric_limits<int>::min() ||
        v > std::numeric_limits<int>::max())
        return false;
    out = static_cast<int>(v);
    return true;
}

int StrToInt(const std::string& text) {
    int v = 0;
    if (!TryStrToInt(text, v))
        throw EConvertError("'" + text + "' is not a valid integer value");
    return v;
}

} // namespace quillory
