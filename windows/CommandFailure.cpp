#include "windows/CommandFailure.h"

#include "http/SocketStack.h"
#include "ui/SkinMessage.h"

namespace quillory {

std::string CommandFailureText(const std::string& trouble, const TCouponService& service) {
    const std::string reason = service.FailureReason();
    if (reason.empty())
        return trouble;
    return trouble + "\n\r" + WrapMessageText(reason);
}

std::string BriefFailureReason(const TServiceFailure& failure) {
    if (failure.Kind == TFailureKind::ServiceRefusal)
        return OneLineReason(failure.StatusCode == 401 ? std::string(kRefusedCredentials)
                                                       : failure.ServerText);
    if (failure.SocketError != 0) {
        const std::string text = TSocketStack::WSTranslateSocketErrorMsg(failure.SocketError);
        if (!text.empty())
            return text;
    }
    return OneLineReason(failure.Detail);
}

} // namespace quillory
