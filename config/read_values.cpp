#include "app/main_form.h"

namespace qv {

void MainForm::cmdReadCurrentValues_Click() {}

}  // namespace qv
