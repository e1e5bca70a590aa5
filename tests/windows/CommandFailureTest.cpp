// The short reason of a failed start-up, built from the failure's kind and
// numbers, never from its message lines.
#include "windows/CommandFailure.h"

#include <gtest/gtest.h>

using namespace quillory;

TEST(BriefFailureReason, SaysWhatTheFaultMeansInOneLine) {
    const struct {
        TServiceFailure Failure;
        std::string Want;
    } cases[] = {
        {{TFailureKind::Refused, 0, 10061, "", "Socket Error # 10061\r\nConnection refused."},
         "Connection refused."},
        {{TFailureKind::UnknownHost, 0, 11001, "", "Socket Error # 11001\r\nHost not found."},
         "Host not found."},
        {{TFailureKind::TimedOut, 0, 10060, "", "Socket Error # 10060\r\nConnection timed out."},
         "Connection timed out."},
        {{TFailureKind::TimedOut, 0, 0, "", "Connect timed out."}, "Connect timed out."},
        {{TFailureKind::TimedOut, 0, 0, "", "Read Timeout"}, "Read Timeout"},
        {{TFailureKind::ServiceRefusal, 401, 0, "Authorization required", "HTTP/1.1 401 x"},
         kRefusedCredentials},
        {{TFailureKind::ServiceRefusal, 403, 0, "Set $adminuser\r\nfirst.", "HTTP/1.1 403 x"},
         "Set $adminuser first."},
        {{TFailureKind::HTTPStatus, 500, 0, "db down", "HTTP/1.1 500 Internal Server Error"},
         "HTTP/1.1 500 Internal Server Error"},
        {{TFailureKind::TLSCertificate, 0, 0, "",
          "Cannot make a secure connection to shop.example: certificate has expired."},
         "Cannot make a secure connection to shop.example: certificate has expired."},
        {{TFailureKind::Other, 0, 12345, "", "Socket Error # 12345\r\n"}, "Socket Error # 12345"},
        {{}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BriefFailureReason(c.Failure), c.Want) << c.Failure.Detail;
}
