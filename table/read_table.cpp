#include "app/main_form.h"

namespace qv {

void MainForm::Command4_Click() {}

}  // namespace qv
