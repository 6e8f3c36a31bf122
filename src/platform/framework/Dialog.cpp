// Dialogs from templates: control creation in dialog units, the modal run, the
// standard OK and Cancel handling, and the test answers for DoModal.
#include "platform/framework/Dialog.h"

#include "platform/framework/ControlId.h"
#include "platform/framework/DataExchange.h"
#include "platform/framework/DialogTemplate.h"
#include "platform/framework/FrameWnd.h"
#include "platform/framework/WinApp.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <map>

namespace vexol::platform::framework {
namespace {

// Round-to-nearest a * b / c, halves away from zero.
int MulDiv(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return int((product >= 0 ? product + half : product - half) / c);
}

std::map<UINT, CDialog::ModalAnswer>& ModalAnswers()
{
    static std::map<UINT, CDialog::ModalAnswer> answers; // UI thread only
    return answers;
}

// "&&" stays one "&", a single "&" goes: the text of a mnemonic without its marker.
QString WithoutMnemonic(const QString& text)
{
    QString result;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
        }
        result += text[i];
    }
    return result;
}

QWidget* CreateControl(const res::DialogControlTemplate& control, QWidget* parent)
{
    const QString text = QString::fromUtf8(control.text ? control.text : "");
    switch (control.kind) {
    case res::ControlKind::Static: {
        auto* label = new QLabel(text, parent);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        Qt::Alignment horizontal = Qt::AlignLeft;
        if (control.style & res::ctl::CenterText) {
            horizontal = Qt::AlignHCenter;
        } else if (control.style & res::ctl::RightText) {
            horizontal = Qt::AlignRight;
        }
        label->setAlignment(horizontal | Qt::AlignTop);
        return label;
    }
    case res::ControlKind::Icon: {
        auto* label = new QLabel(parent);
        const QIcon icon = QApplication::windowIcon();
        if (!icon.isNull()) {
            label->setPixmap(icon.pixmap(32, 32));
        }
        return label;
    }
    case res::ControlKind::Edit: {
        auto* edit = new QLineEdit(text, parent);
        edit->setReadOnly((control.style & res::ctl::ReadOnly) != 0);
        edit->setFrame((control.style & res::ctl::Border) != 0);
        return edit;
    }
    case res::ControlKind::PushButton:
    case res::ControlKind::DefPushButton: {
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(false);
        button->setDefault(control.kind == res::ControlKind::DefPushButton);
        return button;
    }
    case res::ControlKind::CheckBox:
        return new QCheckBox(text, parent);
    case res::ControlKind::RadioButton:
        return new QRadioButton(text, parent);
    case res::ControlKind::GroupBox:
        return new QGroupBox(text, parent);
    }
    return nullptr;
}

// A static text that does not fit its rectangle in the font at hand (the template was
// laid out for a narrower one) is shown somewhat smaller rather than cut off.
void FitStaticText(QLabel* label)
{
    const QString text = label->buddy() ? WithoutMnemonic(label->text()) : label->text();
    const qreal original = label->font().pointSizeF();
    QFont font = label->font();
    // At most 30 % smaller: the last size tried is kept when even that does not fit.
    for (qreal size = original; size >= original * 0.7; size -= 0.5) {
        font.setPointSizeF(size);
        const QRect needed = QFontMetrics(font).boundingRect(
            QRect(0, 0, label->width(), QWIDGETSIZE_MAX), Qt::TextWordWrap, text);
        if (needed.width() <= label->width() && needed.height() <= label->height()) {
            break;
        }
    }
    if (font.pointSizeF() != original) {
        label->setFont(font);
    }
}

bool TakesFocus(res::ControlKind kind)
{
    return kind != res::ControlKind::Static && kind != res::ControlKind::Icon &&
           kind != res::ControlKind::GroupBox;
}

} // namespace

SIZE DialogBaseUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {std::max((letters + 26) / 52, 1), std::max(metrics.height(), 1)};
}

int DialogUnitsToPixelsX(int units, SIZE base)
{
    return MulDiv(units, base.cx, 4);
}

int DialogUnitsToPixelsY(int units, SIZE base)
{
    return MulDiv(units, base.cy, 8);
}

QFont DialogFont(const res::DialogTemplate& dialogTemplate)
{
    QFont font(QString::fromUtf8(dialogTemplate.fontName));
    font.setPointSize(dialogTemplate.pointSize);
    return font;
}

} // namespace vexol::platform::framework

namespace fw = vexol::platform::framework;

CDialog::CDialog(UINT templateId, QWidget* parent)
    : QDialog(parent ? parent
                     : (CWinApp::Instance() ? CWinApp::Instance()->GetMainWnd() : nullptr)),
      m_templateId(templateId)
{
}

CDialog::CDialog(const vexol::res::DialogTemplate* dialogTemplate, QWidget* parent)
    : CDialog(dialogTemplate ? dialogTemplate->id : 0, parent)
{
    m_ownTemplate = dialogTemplate;
}

CDialog::~CDialog() = default;

int CDialog::DoModal()
{
    if (!CreateControls()) {
        return -1;
    }
    m_endResult = -1;
    if (OnInitDialog()) {
        FocusFirstTabStop();
    }
    const auto answer = fw::ModalAnswers().find(m_templateId);
    if (answer != fw::ModalAnswers().end()) {
        const ModalAnswer answerCopy = answer->second;
        const int result = answerCopy(*this);
        hide();
        return result;
    }
    if (m_endResult == -1) {
        exec();
    }
    return m_endResult;
}

BOOL CDialog::Create()
{
    if (!CreateControls()) {
        return FALSE;
    }
    OnInitDialog();
    return TRUE;
}

void CDialog::EndDialog(int result)
{
    m_endResult = result;
    QDialog::done(result);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return exchange.Failed() ? FALSE : TRUE;
}

QWidget* CDialog::GetDlgItem(int id) const
{
    return fw::FindControl(this, id);
}

void CDialog::GotoDlgCtrl(QWidget* control)
{
    if (!control) {
        return;
    }
    control->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->selectAll();
    }
}

BOOL CDialog::SendCommand(UINT id)
{
    return OnCmdMsg(id, nullptr);
}

BOOL CDialog::OnCmdMsg(UINT id, CCmdUI* cmdUI)
{
    if (DispatchToOwnMap(id, cmdUI)) {
        return TRUE;
    }
    if (!cmdUI && id == UINT(IDOK)) {
        OnOK();
        return TRUE;
    }
    if (!cmdUI && id == UINT(IDCANCEL)) {
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

void CDialog::SetModalAnswer(UINT templateId, ModalAnswer answer)
{
    if (answer) {
        fw::ModalAnswers()[templateId] = std::move(answer);
    } else {
        fw::ModalAnswers().erase(templateId);
    }
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE)) {
        return; // the user was told; the dialog stays open
    }
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange* pDX)
{
    (void)pDX;
}

void CDialog::accept()
{
    OnOK();
}

void CDialog::reject()
{
    OnCancel();
}

void CDialog::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier)) {
        QDialog::keyPressEvent(event); // Esc ends up in reject()
        return;
    }
    if (auto* focused = qobject_cast<QPushButton*>(focusWidget());
        focused && focused->isEnabled()) {
        focused->click();
        return;
    }
    for (QPushButton* button : findChildren<QPushButton*>()) {
        if (button->isDefault() && button->isEnabled() && !button->isHidden()) {
            button->click();
            return;
        }
    }
    SendCommand(UINT(IDOK));
}

bool CDialog::CreateControls()
{
    if (m_created) {
        return true;
    }
    const vexol::res::DialogTemplate* dialogTemplate =
        m_ownTemplate ? m_ownTemplate
                      : vexol::res::FindDialogTemplate(m_templateId, vexol::res::UserLanguage());
    if (!dialogTemplate) {
        return false;
    }
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (dialogTemplate->style & vexol::res::dlg::SysMenu) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if (dialogTemplate->style & vexol::res::dlg::Child) {
        flags = Qt::Widget;
    }
    setWindowFlags(flags);
    setWindowTitle(QString::fromUtf8(dialogTemplate->caption ? dialogTemplate->caption : ""));
    setFont(fw::DialogFont(*dialogTemplate));
    const SIZE base = fw::DialogBaseUnits(font());
    setFixedSize(fw::DialogUnitsToPixelsX(dialogTemplate->cx, base),
                 fw::DialogUnitsToPixelsY(dialogTemplate->cy, base));

    QButtonGroup* radioGroup = nullptr;  // the radio group being filled
    QLabel* labelWithoutBuddy = nullptr; // a static whose mnemonic awaits its control
    for (const vexol::res::DialogControlTemplate& control : dialogTemplate->controls) {
        QWidget* widget = fw::CreateControl(control, this);
        if (!widget) {
            continue;
        }
        if (control.id != vexol::res::kNoControlId) {
            fw::SetControlId(widget, control.id);
        }
        widget->setGeometry(
            fw::DialogUnitsToPixelsX(control.x, base), fw::DialogUnitsToPixelsY(control.y, base),
            fw::DialogUnitsToPixelsX(control.cx, base), fw::DialogUnitsToPixelsY(control.cy, base));
        if (!fw::TakesFocus(control.kind)) {
            widget->setFocusPolicy(Qt::NoFocus);
        } else {
            widget->setFocusPolicy((control.style & vexol::res::ctl::TabStop) ? Qt::StrongFocus
                                                                              : Qt::ClickFocus);
        }
        widget->setEnabled((control.style & vexol::res::ctl::Disabled) == 0);
        widget->setHidden((control.style & vexol::res::ctl::Hidden) != 0);

        if (control.kind == vexol::res::ControlKind::RadioButton) {
            if (!radioGroup || (control.style & vexol::res::ctl::Group)) {
                radioGroup = new QButtonGroup(this);
            }
            radioGroup->addButton(static_cast<QRadioButton*>(widget));
        } else {
            radioGroup = nullptr;
        }

        // A static's mnemonic moves the focus to the control that follows it.
        if (labelWithoutBuddy && fw::TakesFocus(control.kind)) {
            labelWithoutBuddy->setBuddy(widget);
            labelWithoutBuddy = nullptr;
        }
        if (control.kind == vexol::res::ControlKind::Static &&
            !(control.style & vexol::res::ctl::NoPrefix)) {
            if (labelWithoutBuddy) {
                labelWithoutBuddy->setText(fw::WithoutMnemonic(labelWithoutBuddy->text()));
            }
            labelWithoutBuddy = static_cast<QLabel*>(widget);
        }

        const UINT id = UINT(control.id);
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            connect(button, &QAbstractButton::clicked, this, [this, id] { SendCommand(id); });
        }
    }
    if (labelWithoutBuddy) {
        labelWithoutBuddy->setText(fw::WithoutMnemonic(labelWithoutBuddy->text()));
    }
    for (QLabel* label : findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (label->wordWrap()) {
            fw::FitStaticText(label);
        }
    }
    m_created = true;
    return true;
}

void CDialog::FocusFirstTabStop()
{
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->focusPolicy() == Qt::StrongFocus && child->isEnabled() && !child->isHidden()) {
            GotoDlgCtrl(child);
            return;
        }
    }
}
