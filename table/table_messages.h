// Messages the table handlers share.
#pragma once

#include <string>

#include "app/main_form.h"

namespace qv::table {

inline const std::string CantFindFile = " Can't find selected file. Please verify... ";
inline const std::string TransferComplete =
    "           Transfer Complete.                           ";

// A table file that could not be opened or read: a missing file or a path or
// access error gets " Can't find selected file. Please verify... ", any other
// failure "Error <code> reported. "; both exclamation, titled "File".
void showTableFileError(MainForm& form, const FileError& failure);

}  // namespace qv::table
