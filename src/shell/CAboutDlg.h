// The version information dialog (template 100): the application icon, a version line
// built from the string table, and the copyright line.
#pragma once

#include "look/CDialogEx.h"
#include "look/CImageButton.h"
#include "platform/framework/Dialog.h"
#include "platform/framework/Static.h"

#include <functional>
#include <string>

class CAboutDlg : public CDialogEx
{
public:
    // Margin of the OK button to the right and bottom edges, in pixels.
    static constexpr int kButtonMargin = 5;
    // Where the two texts go, in client pixels.
    static constexpr int kVersionTextX = 80;
    static constexpr int kVersionTextY = 20;
    static constexpr int kCopyrightTextX = 80;
    static constexpr int kCopyrightTextY = 40;
    // String resources of the version line.
    static constexpr UINT kUnknownTitleStringId = 20000;
    static constexpr UINT kVersionStringId = 20001;

    CAboutDlg();

    // The version line: the application title (else "(Unknown)"), " Version ", the
    // version string, all through `loadString`.
    using StringLoader = std::function<bool(UINT id, std::string& text)>;
    static std::string BuildVersionLine(const StringLoader& loadString);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

private:
    CStatic m_versionText;
    CStatic m_copyrightText;
    CImageButton m_okButton;
};
