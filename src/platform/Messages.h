// Posting a message to a window without waiting for it, as a Windows
// program would with PostMessage. This platform has no window system of its
// own: a window is an opaque handle, and the part of the program that owns
// windows (a view backend, a test) installs the function that delivers
// posts to them.
#pragma once

#include <cstdint>
#include <functional>

namespace tolvane::platform {

using WindowHandle = uintptr_t;
using PostMessageHandler =
    std::function<bool(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)>;

// Installs the delivery function and returns the one it replaces; an empty
// function removes it. The handler may be called from any thread.
PostMessageHandler SetPostMessageHandler(PostMessageHandler handler);

// Hands the message to the installed handler. False with
// ERROR_INVALID_WINDOW_HANDLE when the handle is 0 or nothing delivers
// posts; otherwise the handler's answer.
bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

}  // namespace tolvane::platform
