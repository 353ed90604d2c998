#include "app/main_form.h"

namespace qv {

void MainForm::Command10_Click() {}
void MainForm::Text1_KeyPress(int&) {}
void MainForm::Command7_Click() {}
void MainForm::Option2_Click(int) {}
void MainForm::Command2_Click() {}

}  // namespace qv
