// The dialog behind acmFormatChooseA: a list of formats with OK and Cancel.
#pragma once

#include "platform/audio/AudioCompression.h"
#include "platform/framework/Resources.h"

#include <QDialog>

class QDialogButtonBox;
class QListWidget;

namespace vexol::platform::audio {

class SoundSelectionDialog : public QDialog
{
public:
    // Shows `request.offered` with the preselected row current; texts in `language`.
    // Without formats the list gives way to a line that says so, and OK stays disabled.
    SoundSelectionDialog(const SoundSelectionRequest& request, res::Language language);

    // After exec(): the chosen row, or -1 when cancelled.
    int ChosenIndex() const;

private:
    void UpdateOkButton();

    QListWidget* m_list = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

} // namespace vexol::platform::audio
