#include "app/main_form.h"

namespace qv {

void MainForm::Command12_Click() {}

}  // namespace qv
