// The document: a title, a path name and the views that show it. Commands that reach
// a view go on to its document.
#pragma once

#include "platform/WinTypes.h"
#include "platform/framework/CmdTarget.h"

#include <string>
#include <vector>

class CSingleDocTemplate;
class CView;

class CDocument : public CCmdTarget
{
public:
    CDocument();
    ~CDocument() override;

    const std::string& GetTitle() const { return m_title; }
    // Sets the title and updates the captions of the frames that show the document.
    virtual void SetTitle(const char* title);
    const std::string& GetPathName() const { return m_pathName; }
    // Sets the path name; the title becomes its file name (the part after the last
    // "/" or "\"). Nothing keeps a list of recent files, whatever `addToRecent` says.
    virtual void SetPathName(const char* path, BOOL addToRecent = TRUE);

    // A new, empty document: contents deleted, path name cleared.
    virtual BOOL OnNewDocument();
    // Loads the document from `path` through Serialize; false when the file cannot be
    // read or the archive fails.
    virtual BOOL OnOpenDocument(const char* path);
    virtual void DeleteContents() {}

    void AddView(CView* view);
    void RemoveView(CView* view);
    const std::vector<CView*>& GetViews() const { return m_views; }
    // Recomputes the captions of the frames that show the document.
    void UpdateFrameCounts();

    CSingleDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }
    void SetDocTemplate(CSingleDocTemplate* docTemplate) { m_pDocTemplate = docTemplate; }

private:
    std::string m_title;
    std::string m_pathName;
    std::vector<CView*> m_views;
    CSingleDocTemplate* m_pDocTemplate = nullptr;
};

namespace vexol::platform::framework {
// The file name of a path: the part after the last "/" or "\" (a drive "C:" too).
std::string FileTitleOf(const std::string& path);
} // namespace vexol::platform::framework
