// The single-document template: one resource ID for menu, accelerators and document
// string, and the factories of the document, frame and view classes. It holds the
// one document and creates the frame with its view for it.
#pragma once

#include "platform/WinTypes.h"

#include <QPointer>
#include <functional>
#include <memory>
#include <string>

class CDocument;
class CFrameWnd;
class CView;

class CSingleDocTemplate
{
public:
    using DocumentFactory = std::function<std::unique_ptr<CDocument>()>;
    using FrameFactory = std::function<CFrameWnd*()>;
    using ViewFactory = std::function<CView*()>;

    // Document string fields.
    enum DocStringIndex { windowTitle = 0, docName = 1, fileNewName = 2 };

    CSingleDocTemplate(UINT resourceId, DocumentFactory newDocument, FrameFactory newFrame,
                       ViewFactory newView);
    ~CSingleDocTemplate();
    CSingleDocTemplate(const CSingleDocTemplate&) = delete;
    CSingleDocTemplate& operator=(const CSingleDocTemplate&) = delete;

    template <class Document, class Frame, class View>
    static std::unique_ptr<CSingleDocTemplate> Create(UINT resourceId)
    {
        return std::make_unique<CSingleDocTemplate>(
            resourceId, [] { return std::make_unique<Document>(); },
            [] { return static_cast<CFrameWnd*>(new Frame); },
            [] { return static_cast<CView*>(new View); });
    }

    // A new document (`path` null) or the document opened from `path`. The first call
    // creates the document, the frame and the view; later calls reuse them. The frame
    // becomes the application's main window if there is none, and is shown when
    // `makeVisible`. Returns null on failure, leaving no new frame behind.
    CDocument* OpenDocumentFile(const char* path, BOOL makeVisible = TRUE);

    CDocument* GetDocument() const { return m_document.get(); }
    CFrameWnd* GetFrame() const;
    UINT GetResourceId() const { return m_resourceId; }
    // Field `index` of the document string (resource `GetResourceId()`).
    BOOL GetDocString(std::string& text, DocStringIndex index) const;

private:
    void SetDefaultTitle(CDocument* document) const;

    UINT m_resourceId;
    DocumentFactory m_newDocument;
    FrameFactory m_newFrame;
    ViewFactory m_newView;
    std::unique_ptr<CDocument> m_document;
    QPointer<CFrameWnd> m_frame;
};

namespace vexol::platform::framework {
// Field `index` of a "\n"-separated document string; empty when it has no such field.
std::string DocStringField(const std::string& documentString, int index);
} // namespace vexol::platform::framework
