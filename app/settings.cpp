#include "app/main_form.h"

namespace qv {

bool MainForm::Form_Load() { return true; }
void MainForm::Form_Unload() {}
bool MainForm::FileExist(const std::string& sTestFile) { return files.exists(sTestFile); }
std::string MainForm::settingsPath() { return ui.programFolder() + "/" + SettingsFileName; }

}  // namespace qv
