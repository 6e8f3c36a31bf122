// Creating and reusing the document, its frame and its view.
#include "platform/framework/DocTemplate.h"

#include "platform/framework/CommandIds.h"
#include "platform/framework/Document.h"
#include "platform/framework/FrameWnd.h"
#include "platform/framework/Resources.h"
#include "platform/framework/View.h"
#include "platform/framework/WinApp.h"

namespace vexol::platform::framework {

std::string DocStringField(const std::string& documentString, int index)
{
    size_t start = 0;
    for (int i = 0; i < index; ++i) {
        start = documentString.find('\n', start);
        if (start == std::string::npos) {
            return {};
        }
        ++start;
    }
    return documentString.substr(start, documentString.find('\n', start) - start);
}

} // namespace vexol::platform::framework

CSingleDocTemplate::CSingleDocTemplate(UINT resourceId, DocumentFactory newDocument,
                                       FrameFactory newFrame, ViewFactory newView)
    : m_resourceId(resourceId), m_newDocument(std::move(newDocument)),
      m_newFrame(std::move(newFrame)), m_newView(std::move(newView))
{
}

CSingleDocTemplate::~CSingleDocTemplate()
{
    delete m_frame.data(); // views first, then the document
}

CFrameWnd* CSingleDocTemplate::GetFrame() const
{
    return m_frame.data();
}

CDocument* CSingleDocTemplate::OpenDocumentFile(const char* path, BOOL makeVisible)
{
    const bool newDocument = !m_document;
    if (newDocument) {
        m_document = m_newDocument ? m_newDocument() : nullptr;
        if (!m_document) {
            return nullptr;
        }
        m_document->SetDocTemplate(this);
    }
    CDocument* document = m_document.get();

    CFrameWnd* frame = m_frame.data();
    const bool newFrame = !frame;
    auto undo = [&] {
        if (newFrame) {
            delete frame;
        }
        if (newDocument) {
            m_document.reset();
        }
    };
    if (newFrame) {
        frame = m_newFrame ? m_newFrame() : nullptr;
        CCreateContext context{document, m_newView};
        if (!frame || !frame->LoadFrame(m_resourceId, &context)) {
            undo();
            return nullptr;
        }
        m_frame = frame;
    }

    if (!path) {
        SetDefaultTitle(document);
        if (!document->OnNewDocument()) {
            undo();
            return nullptr;
        }
    } else {
        if (!document->OnOpenDocument(path)) {
            undo();
            return nullptr;
        }
        document->SetPathName(path);
    }

    if (CWinApp* app = CWinApp::Instance(); app && !app->GetMainWnd()) {
        app->SetMainWnd(frame);
    }
    for (CView* view : document->GetViews()) {
        view->OnInitialUpdate();
    }
    frame->OnUpdateFrameTitle(TRUE);
    if (makeVisible) {
        frame->ActivateFrame();
    }
    return document;
}

BOOL CSingleDocTemplate::GetDocString(std::string& text, DocStringIndex index) const
{
    std::string documentString;
    if (!LoadString(m_resourceId, documentString)) {
        text.clear();
        return FALSE;
    }
    text = vexol::platform::framework::DocStringField(documentString, int(index));
    return TRUE;
}

// An untitled document takes the document name of the document string, else the
// framework's name for an untitled document.
void CSingleDocTemplate::SetDefaultTitle(CDocument* document) const
{
    std::string title;
    if (!GetDocString(title, docName) || title.empty()) {
        if (!LoadString(IDS_UNTITLED, title)) {
            title = "Untitled";
        }
    }
    document->SetTitle(title.c_str());
}
