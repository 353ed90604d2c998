#include "app/main_form.h"

namespace qv {

void MainForm::cmdDetectZov_Click() {}

}  // namespace qv
