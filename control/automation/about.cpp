// The about box, asked through the user-interface service.
#include "control/automation/about.h"

namespace vz::control {

ui::Question aboutQuestion(const std::string& helpFile) {
  ui::Question q;
  q.caption = kAboutCaption;
  q.text = std::string(kAboutTitleLine) + "\n" + kAboutNoticeLine1 + "\n" + kAboutNoticeLine2;
  q.icon = ui::Icon::Information;
  q.buttons.push_back(ui::Button{ui::IDOK, "OK", true, false, false});
  q.closeId = ui::IDOK;
  q.helpFile = helpFile;
  return q;
}

void showAboutBox(const std::string& helpFile) { ui::ask(aboutQuestion(helpFile)); }

}  // namespace vz::control
