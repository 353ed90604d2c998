// The Windows side of the program folder's choice (see
// platform/program_folder.h): a copy inside Program Files is an installed
// one even where its folder takes new files (an administrator's elevated
// run, Wine), so that its settings go to the user's own folder, not into
// Program Files for every user.
#pragma once

#include <string>

namespace qv {

// True when `path` is `folder` or lies below it, names compared as Windows
// compares them (letter case ignored, "/" as "\", a final "\" ignored).
// False when either is empty.
bool isWithinFolder(const std::string& path, const std::string& folder);

}  // namespace qv
