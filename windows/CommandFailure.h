#pragma once
// The message a failed coupon command shows: the command's own trouble text,
// then, on a line of its own, why the service failed.
#include "coupons/CouponService.h"

#include <string>

namespace quillory {

// `trouble`, then a line break (LF CR, as the program's other messages) and
// the service's FailureReason(), wrapped to lines the message dialog can
// show. Just `trouble` when the service gives no reason.
std::string CommandFailureText(const std::string& trouble, const TCouponService& service);

// Why a request failed, briefly, for the quiet line of a failed start-up:
// a refusal in the service's words, else what a socket error means
// ("Connection refused."), else the failure's own message on one line.
// Empty when the exchange went well and only the reply was not the one
// expected.
std::string BriefFailureReason(const TServiceFailure& failure);

} // namespace quillory
