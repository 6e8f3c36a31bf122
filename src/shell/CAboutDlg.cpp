#include "shell/CAboutDlg.h"

#include "look/DialogButtons.h"
#include "platform/framework/CommandIds.h"
#include "platform/framework/DataExchange.h"
#include "platform/framework/Resources.h"
#include "res/ResourceIds.h"

#include <new>

CAboutDlg::CAboutDlg() : CDialogEx(IDD_ABOUTBOX) {}

std::string CAboutDlg::BuildVersionLine(const StringLoader& loadString)
{
    std::string title;
    if (!loadString(IDS_APP_TITLE, title)) {
        loadString(kUnknownTitleStringId, title);
    }
    std::string version;
    loadString(kVersionStringId, version);
    return title + " Version " + version;
}

void CAboutDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_VERSION_TEXT, m_versionText);
    DDX_Control(pDX, IDC_COPYRIGHT_TEXT, m_copyrightText);
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();

    // The drawn OK button sits in the bottom-right corner whatever the dialog's size.
    AttachImageButtons(*this, &m_okButton, nullptr);
    MoveOkCancel(*this, PlaceOkAtBottomRight);

    const RECT version = m_versionText.GetRectInParent();
    m_versionText.MoveWindow(kVersionTextX, kVersionTextY, version.right - version.left,
                             version.bottom - version.top);
    const RECT copyright = m_copyrightText.GetRectInParent();
    m_copyrightText.MoveWindow(kCopyrightTextX, kCopyrightTextY, copyright.right - copyright.left,
                               copyright.bottom - copyright.top);

    try {
        const std::string line =
            BuildVersionLine([](UINT id, std::string& text) { return ::LoadString(id, text); });
        m_versionText.SetWindowText(line.c_str());
    } catch (const std::bad_alloc&) {
        // The template's text stays.
    }
    return TRUE;
}
