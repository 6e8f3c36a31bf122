// Document title, path name and views.
#include "platform/framework/Document.h"

#include "platform/framework/Archive.h"
#include "platform/framework/FrameWnd.h"
#include "platform/framework/View.h"

#include <QFile>
#include <algorithm>

namespace vexol::platform::framework {

std::string FileTitleOf(const std::string& path)
{
    const size_t separator = path.find_last_of("/\\:");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

} // namespace vexol::platform::framework

CDocument::CDocument() = default;

CDocument::~CDocument()
{
    for (CView* view : m_views) {
        view->SetDocument(nullptr);
    }
}

void CDocument::SetTitle(const char* title)
{
    m_title = title ? title : "";
    UpdateFrameCounts();
}

void CDocument::SetPathName(const char* path, BOOL addToRecent)
{
    (void)addToRecent;
    m_pathName = path ? path : "";
    SetTitle(vexol::platform::framework::FileTitleOf(m_pathName).c_str());
}

BOOL CDocument::OnNewDocument()
{
    DeleteContents();
    m_pathName.clear();
    return TRUE;
}

BOOL CDocument::OnOpenDocument(const char* path)
{
    QFile file(QString::fromUtf8(path ? path : ""));
    if (!file.open(QIODevice::ReadOnly)) {
        return FALSE;
    }
    DeleteContents();
    CArchive archive(&file, CArchive::load);
    Serialize(archive);
    return archive.Failed() ? FALSE : TRUE;
}

void CDocument::AddView(CView* view)
{
    if (view && std::find(m_views.begin(), m_views.end(), view) == m_views.end()) {
        m_views.push_back(view);
        view->SetDocument(this);
    }
}

void CDocument::RemoveView(CView* view)
{
    const auto found = std::find(m_views.begin(), m_views.end(), view);
    if (found != m_views.end()) {
        m_views.erase(found);
        view->SetDocument(nullptr);
    }
}

void CDocument::UpdateFrameCounts()
{
    for (CView* view : m_views) {
        if (CFrameWnd* frame = view->GetParentFrame()) {
            frame->OnUpdateFrameTitle(TRUE);
        }
    }
}
