#include "driver/Tools.h"

#include "platform/Paths.h"
#include "rtl/Format.h"

namespace tolvane {

std::unique_ptr<Exception> ChainException(const Exception& e, const std::string& context, bool addClassName) {
    std::string message = Format("%s -> %s", {context, e.Message()});
    if (addClassName && message.find(" <# ") == std::string::npos)
        message += std::string(" <# ") + e.ClassName() + " #>";
    return e.CloneWithMessage(std::move(message));
}

std::string GetWindowsDirPath() {
    std::string dir = platform::WindowsDirectory();
    if (dir.size() > 260) dir.clear();  // the system call's buffer holds 260 characters
    return dir + "\\";
}

}  // namespace tolvane
