// The two helpers of the tools unit.
#pragma once

#include <memory>
#include <string>

#include "rtl/Exception.h"

namespace tolvane {

// A new exception of E's class whose message is "context -> E's message";
// with addClassName, " <# ClassName #>" is appended unless the message
// already carries " <# ". The caller raises it.
std::unique_ptr<Exception> ChainException(const Exception& e, const std::string& context, bool addClassName);

// The Windows directory followed by a backslash; a single backslash when
// the system cannot tell it.
std::string GetWindowsDirPath();

}  // namespace tolvane
