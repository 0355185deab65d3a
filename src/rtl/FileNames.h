// Parts of a file name, as the platform's runtime splits them: "\", "/"
// and the drive colon end the folder part.
#pragma once

#include <string>
#include <string_view>

#pragma GCC visibility push(default)

namespace tolvane {

// The folder part with its final delimiter ("C:\TORV\" of "C:\TORV\PDT.log"); empty when none.
std::string ExtractFilePath(std::string_view fileName);
// The name after the folder part.
std::string ExtractFileName(std::string_view fileName);
// The extension with its dot (".log"); empty when the name has none.
std::string ExtractFileExt(std::string_view fileName);
// The folder followed by one delimiter ("\" unless the folder already uses "/").
std::string IncludeTrailingPathDelimiter(std::string_view folder);

}  // namespace tolvane

#pragma GCC visibility pop
