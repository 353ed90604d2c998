#include "app/main_form.h"

namespace qv {

void MainForm::Command1_Click() {}

}  // namespace qv
