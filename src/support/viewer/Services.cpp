#include <atomic>

#include "support/viewer/ViewerBackend.h"

namespace tolvane::viewer {

namespace {

class PlatformViewerService final : public ViewerWindowService {
public:
    // Windows here carry the class as their WM_CLASS; nothing needs
    // registering with the display beforehand.
    bool RegisterWindowClass(const std::string& className) override { return !className.empty(); }
    std::unique_ptr<ViewerScreen> OpenScreen() override { return OpenXcbScreen(); }
    std::unique_ptr<ViewerCanvas> CreateCanvas() override { return CreateQtCanvas(); }
};

PlatformViewerService platformService;
std::atomic<ViewerWindowService*> replacement{nullptr};

}  // namespace

ViewerWindowService& ViewerServices() {
    ViewerWindowService* service = replacement.load();
    return service ? *service : platformService;
}

void SetViewerServices(ViewerWindowService* service) { replacement.store(service); }

}  // namespace tolvane::viewer
