#include "link/ViewerProgress.h"

#include "support/ProgressViewer.h"

namespace tolvane {

TViewerUploadProgress::TViewerUploadProgress(const std::string& caption, bool determinate, bool cancelButton)
    : viewer_(new TProgressViewer(caption, determinate, cancelButton)) {}

TViewerUploadProgress::~TViewerUploadProgress() { Terminate(); }

void TViewerUploadProgress::CheckCancel() { viewer_->CheckCancel(); }

void TViewerUploadProgress::SetPercent(double percent) { viewer_->Percent = percent; }

void TViewerUploadProgress::SetLine(int32_t number, const std::string& text, uint8_t alignment, bool wordWrap,
                                    uint32_t color, uint8_t fontStyle, int32_t fontSize,
                                    const std::string& fontName) {
    viewer_->SetLine(number, text, alignment, wordWrap, color, fontStyle, fontSize, fontName);
}

void TViewerUploadProgress::Terminate() {
    // Freeing the running viewer terminates it and waits for its thread to
    // close the window (one tick), so no viewer thread outlives the upload:
    // a host that ends right after an upload would otherwise leave the
    // process with a thread still drawing.
    delete viewer_;
    viewer_ = nullptr;
}

std::unique_ptr<IUploadProgress> CreateViewerProgress(const std::string& caption, bool determinate,
                                                      bool cancelButton) {
    return std::make_unique<TViewerUploadProgress>(caption, determinate, cancelButton);
}

}  // namespace tolvane
