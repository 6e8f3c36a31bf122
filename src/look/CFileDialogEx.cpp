#include "look/CFileDialogEx.h"

#include <QLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSizeGrip>

const CRuntimeClass CFileDialogEx::classCFileDialogEx{"CFileDialogEx", 0, nullptr};

const CRuntimeClass* CFileDialogEx::GetRuntimeClass() const
{
    return &classCFileDialogEx;
}

CFileDialogEx::CFileDialogEx(BOOL openFileDialog, const char* defaultExtension,
                             const char* fileName, DWORD flags, const char* filter,
                             QWidget* parentWnd)
    : CFileDialog(openFileDialog, defaultExtension, fileName, flags, filter, parentWnd),
      m_frame(*this)
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

void CFileDialogEx::paintEvent(QPaintEvent* event)
{
    CFileDialog::paintEvent(event);
    m_frame.Paint();
}

void CFileDialogEx::changeEvent(QEvent* event)
{
    CFileDialog::changeEvent(event);
    m_frame.Changed(*event);
}

void CFileDialogEx::mousePressEvent(QMouseEvent* event)
{
    if (!m_frame.MousePress(*event)) {
        CFileDialog::mousePressEvent(event);
    }
}

void CFileDialogEx::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_frame.MouseMove(*event)) {
        CFileDialog::mouseMoveEvent(event);
    }
}

void CFileDialogEx::mouseReleaseEvent(QMouseEvent* event)
{
    bool closeClicked = false;
    if (!m_frame.MouseRelease(*event, closeClicked)) {
        CFileDialog::mouseReleaseEvent(event);
    } else if (closeClicked) {
        reject(); // the close button cancels, like Esc
    }
}

void CFileDialogEx::keyPressEvent(QKeyEvent* event)
{
    if (!m_frame.KeyPress(*event)) {
        CFileDialog::keyPressEvent(event);
    }
}
