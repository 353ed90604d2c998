#include "app/main_form.h"

namespace qv {

void MainForm::SendReceive(const std::string&, int) {}
void MainForm::Stat1(const std::string& b) { Label2.setCaption(b); }
void MainForm::VerifyCommunication() {}
void MainForm::PortFailed(const SerialError&) {}

}  // namespace qv
