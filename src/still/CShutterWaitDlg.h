// The dialog that stays open while shutter-switch stills are saved (template 136): it
// asks the user to press the shutter switch. It sits at the top-left corner of its
// owner's client area, so that the picture stays in view; OK or Esc close it.
#pragma once

#include "look/CDialogEx.h"
#include "look/CImageButton.h"

class CShutterWaitDlg : public CDialogEx
{
public:
    // `parent` null: the application's main window.
    explicit CShutterWaitDlg(QWidget* parent = nullptr);

protected:
    BOOL OnInitDialog() override;

private:
    CImageButton m_okButton;
};
