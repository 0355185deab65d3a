// What UploadFile asks of its progress window: show how far the upload got,
// tell whether the operator cancelled, and go away at the end. The link
// creates one per upload through a factory, so that the window can be
// replaced (tests, headless use) without touching the upload itself.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tolvane {

class IUploadProgress {
public:
    virtual ~IUploadProgress() = default;
    // Raises EProgressCancelByUser once the operator has cancelled.
    virtual void CheckCancel() = 0;
    virtual void SetPercent(double percent) = 0;
    // A text line of the window; colour as a Windows RGB value (red in the
    // lowest byte), style bit 0 bold, alignment 0 left, 1 right, 2 centre.
    virtual void SetLine(int32_t number, const std::string& text, uint8_t alignment, bool wordWrap, uint32_t color,
                         uint8_t fontStyle, int32_t fontSize, const std::string& fontName) = 0;
    // Closes the window. Called exactly once, also when the upload failed.
    virtual void Terminate() = 0;
};

using TUploadProgressFactory =
    std::function<std::unique_ptr<IUploadProgress>(const std::string& caption, bool determinate, bool cancelButton)>;

// The system's progress viewer window.
std::unique_ptr<IUploadProgress> CreateViewerProgress(const std::string& caption, bool determinate,
                                                      bool cancelButton);

}  // namespace tolvane
