// The system's progress viewer as the window of an upload.
#pragma once

#include "link/UploadProgress.h"

namespace tolvane {

class TProgressViewer;

class TViewerUploadProgress final : public IUploadProgress {
public:
    // Raises EProgressException when the viewer's window class is missing.
    TViewerUploadProgress(const std::string& caption, bool determinate, bool cancelButton);
    // Ends a viewer that was not ended yet.
    ~TViewerUploadProgress() override;

    void CheckCancel() override;
    void SetPercent(double percent) override;
    void SetLine(int32_t number, const std::string& text, uint8_t alignment, bool wordWrap, uint32_t color,
                 uint8_t fontStyle, int32_t fontSize, const std::string& fontName) override;
    void Terminate() override;

    // The viewer until Terminate, which closes and frees it.
    TProgressViewer* Viewer() const { return viewer_; }

private:
    TProgressViewer* viewer_;
};

}  // namespace tolvane
