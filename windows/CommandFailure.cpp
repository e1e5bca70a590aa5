#include "windows/CommandFailure.h"

#include "ui/SkinMessage.h"

namespace quillory {

std::string CommandFailureText(const std::string& trouble, const TCouponService& service) {
    const std::string reason = service.FailureReason();
    if (reason.empty())
        return trouble;
    return trouble + "\n\r" + WrapMessageText(reason);
}

} // namespace quillory
