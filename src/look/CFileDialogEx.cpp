#include "look/CFileDialogEx.h"

#include <QLayout>
#include <QSizeGrip>

const CRuntimeClass CFileDialogEx::classCFileDialogEx{"CFileDialogEx", 0, nullptr};

const CRuntimeClass* CFileDialogEx::GetRuntimeClass() const
{
    return &classCFileDialogEx;
}

CFileDialogEx::CFileDialogEx(BOOL openFileDialog, const char* defaultExtension,
                             const char* fileName, DWORD flags, const char* filter,
                             QWidget* parentWnd)
    : SkinnedWindow(openFileDialog, defaultExtension, fileName, flags, filter, parentWnd)
{
    // The frame is ours; the window system draws none.
    m_frame.MakeFrameless();
}

CFileDialogEx::~CFileDialogEx() = default;

void CFileDialogEx::showEvent(QShowEvent* event)
{
    // The file dialog's controls sit in its layout: the layout's margins grow by the
    // frame, and so does the window.
    if (m_frame.Frame()) {
        const QMargins margins = m_frame.Margins();
        if (QLayout* controls = layout()) {
            controls->setContentsMargins(controls->contentsMargins() + margins);
            controls->activate();
        }
        resize(size().grownBy(margins));
        PlaceSizeGrip();
    }
    CFileDialog::showEvent(event);
}

void CFileDialogEx::resizeEvent(QResizeEvent* event)
{
    CFileDialog::resizeEvent(event); // puts the grip in the window's corner
    PlaceSizeGrip();
}

void CFileDialogEx::PlaceSizeGrip()
{
    if (!m_frame.IsFramed()) {
        return;
    }
    const QMargins margins = m_frame.Margins();
    for (QSizeGrip* grip : findChildren<QSizeGrip*>(Qt::FindDirectChildrenOnly)) {
        grip->move(width() - margins.right() - grip->width(),
                   height() - margins.bottom() - grip->height());
    }
}
