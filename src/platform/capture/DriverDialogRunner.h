// Runs the drivers' modal dialogs. Tests install a runner that answers a dialog instead
// of showing it; without one, the dialog runs modally.
#pragma once

#include <functional>

class QDialog;

namespace vexol::platform::capture {

using DriverDialogRunner = std::function<int(QDialog& dialog)>;

// Runs `dialog` and returns its result (QDialog::Accepted or QDialog::Rejected).
int RunDriverDialog(QDialog& dialog);

// Replaces how dialogs run; an empty runner restores the modal run.
void SetDriverDialogRunner(DriverDialogRunner runner);

} // namespace vexol::platform::capture
