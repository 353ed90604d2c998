#include "app/main_form.h"

namespace qv {

void MainForm::cmdWriteValues_Click() {}

}  // namespace qv
