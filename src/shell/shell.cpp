#include "shell/shell.h"

namespace korvane {

void AppendDetail(Shell& shell, std::string_view text) {
    if (shell.settings.IsOn(field::DetailFlag))
        shell.log.AppendLine(text);
}

void Alert(Shell& shell) {
    if (shell.settings.IsOn(field::BeepFlag))
        shell.desktop.PlayAlertSound();
}

void AlertAlways(Shell& shell) {
    shell.desktop.PlayAlertSound();
}

} // namespace korvane
