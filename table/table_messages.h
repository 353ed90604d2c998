// Messages the table handlers share.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/main_form.h"

namespace qv::table {

inline const std::string CantFindFile = " Can't find selected file. Please verify... ";
inline const std::string TransferComplete =
    "           Transfer Complete.                           ";

// The lines of the current table file (TableFileName), each as UTF-8 text
// (see utf8Line). When it cannot be opened or read, tells the user and gives
// nothing: a missing file gets `missingText`, a path or access error " Can't
// find selected file. Please verify... ", any other failure "Error <code>
// reported. ", followed by the reason for a file that is not a regular file
// or is too large; all with the exclamation icon, titled "File".
std::optional<std::vector<std::string>> readTableFile(MainForm& form, const std::string& missingText = CantFindFile);

}  // namespace qv::table
