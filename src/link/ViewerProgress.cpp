#include "link/UploadProgress.h"
#include "rtl/Exception.h"

namespace tolvane {

std::unique_ptr<IUploadProgress> CreateViewerProgress(const std::string&, bool, bool) {
    throw ENotBuilt("Окно хода передачи ещё не реализовано в этой сборке");
}

}  // namespace tolvane
