#include "shell/CVexolDoc.h"

#include "res/ResourceIds.h"
#include "shell/CVexolApp.h"

const CRuntimeClass CVexolDoc::classCVexolDoc{"CVexolDoc", 0,
                                              []() -> CObject* { return new CVexolDoc; }};

const CRuntimeClass* CVexolDoc::GetRuntimeClass() const
{
    return &classCVexolDoc;
}

CVexolDoc::CVexolDoc()
{
    MapCommand(ID_SHOW_CAPTURE_FILE_NAME, &CVexolDoc::OnShowCaptureFileName);
}

CVexolDoc::~CVexolDoc() = default;

void CVexolDoc::Serialize(CArchive& /*ar*/) {}

BOOL CVexolDoc::OnNewDocument()
{
    return CDocument::OnNewDocument();
}

void CVexolDoc::OnShowCaptureFileName()
{
    CVexolApp* app = CVexolApp::Instance();
    if (!app) {
        return;
    }
    const std::string name = app->GetCaptureWindow().GetCaptureFile(FALSE);
    if (name.empty()) {
        return;
    }
    SetPathName(name.c_str(), FALSE);
}
