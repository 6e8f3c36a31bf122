// The document: no data of its own; its title names the capture file in the caption.
#pragma once

#include "platform/framework/Document.h"

class CVexolDoc : public CDocument
{
public:
    CVexolDoc();
    ~CVexolDoc() override;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCVexolDoc;

    // Reads and writes nothing: a file named on the command line is opened as the
    // document without being read.
    void Serialize(CArchive& ar) override;
    BOOL OnNewDocument() override;

    // Command 32790: the stored capture file name becomes the document's path name.
    void OnShowCaptureFileName();
};
