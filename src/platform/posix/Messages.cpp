#include "platform/Messages.h"

#include <memory>
#include <mutex>

#include "platform/SystemError.h"

namespace tolvane::platform {

namespace {

// The handler is shared, so a post that runs while another thread replaces
// it still calls a live function.
std::mutex handlerGuard;
constinit std::shared_ptr<PostMessageHandler> installed;

}  // namespace

PostMessageHandler SetPostMessageHandler(PostMessageHandler handler) {
    std::lock_guard lock(handlerGuard);
    auto previous = installed;
    installed = handler ? std::make_shared<PostMessageHandler>(std::move(handler)) : nullptr;
    return previous ? *previous : PostMessageHandler();
}

bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    std::shared_ptr<PostMessageHandler> handler;
    {
        std::lock_guard lock(handlerGuard);
        handler = installed;
    }
    if (window == 0 || !handler) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    return (*handler)(window, message, wParam, lParam);
}

}  // namespace tolvane::platform
