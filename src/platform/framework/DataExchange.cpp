// Data exchange steps and the framework's integer and range messages.
#include "platform/framework/DataExchange.h"

#include "platform/WindowRegistry.h"
#include "platform/framework/CommandIds.h"
#include "platform/framework/Dialog.h"
#include "platform/framework/MessageBox.h"
#include "platform/framework/Resources.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>
#include <cstdint>

namespace vexol::platform::framework {
namespace {

QString ControlText(const QWidget* control)
{
    if (auto* edit = qobject_cast<const QLineEdit*>(control)) {
        return edit->text();
    }
    if (auto* label = qobject_cast<const QLabel*>(control)) {
        return label->text();
    }
    if (auto* button = qobject_cast<const QAbstractButton*>(control)) {
        return button->text();
    }
    return {};
}

void SetControlText(QWidget* control, const QString& text)
{
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(text);
    }
}

// The framework's own messages: caption is the application title.
void ShowExchangeMessage(CDataExchange* pDX, const std::string& text)
{
    std::string caption;
    LoadString(IDS_APP_TITLE, caption);
    MessageBoxA(HandleOfWindow(pDX->m_pDlgWnd), text.c_str(), caption.c_str(),
                MB_OK | MB_ICONEXCLAMATION);
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

bool ParseDialogInteger(const std::string& text, int& value)
{
    size_t at = 0;
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    const size_t digitsStart = at;
    std::int64_t magnitude = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        magnitude = magnitude * 10 + (text[at] - '0');
        if (magnitude > std::int64_t(INT32_MAX) + 1) {
            return false;
        }
        ++at;
    }
    if (at == digitsStart) {
        return false;
    }
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    if (at != text.size()) {
        return false;
    }
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT32_MAX || signedValue < INT32_MIN) {
        return false;
    }
    value = int(signedValue);
    return true;
}

} // namespace vexol::platform::framework

namespace fw = vexol::platform::framework;

CDataExchange::CDataExchange(CDialog* dialog, BOOL saveAndValidate)
    : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog)
{
}

QWidget* CDataExchange::PrepareCtrl(int id)
{
    m_lastControl = m_pDlgWnd ? m_pDlgWnd->GetDlgItem(id) : nullptr;
    return m_lastControl;
}

QWidget* CDataExchange::PrepareEditCtrl(int id)
{
    return PrepareCtrl(id);
}

void CDataExchange::Fail()
{
    if (m_pDlgWnd && m_lastControl) {
        m_pDlgWnd->GotoDlgCtrl(m_lastControl);
    }
    m_failed = true;
}

void DDX_Text(CDataExchange* pDX, int id, int& value)
{
    if (pDX->Failed()) {
        return;
    }
    QWidget* control = pDX->PrepareEditCtrl(id);
    if (!control) {
        return;
    }
    if (!pDX->m_bSaveAndValidate) {
        fw::SetControlText(control, QString::number(value));
        return;
    }
    int parsed = 0;
    if (!fw::ParseDialogInteger(fw::ControlText(control).toStdString(), parsed)) {
        std::string message;
        LoadString(IDS_PARSE_INT, message);
        fw::ShowExchangeMessage(pDX, message);
        pDX->Fail();
        return;
    }
    value = parsed;
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value)
{
    if (pDX->Failed()) {
        return;
    }
    QWidget* control = pDX->PrepareEditCtrl(id);
    if (!control) {
        return;
    }
    if (pDX->m_bSaveAndValidate) {
        value = fw::ControlText(control).toStdString();
    } else {
        fw::SetControlText(control, QString::fromUtf8(value));
    }
}

void DDX_Check(CDataExchange* pDX, int id, int& value)
{
    if (pDX->Failed()) {
        return;
    }
    auto* box = qobject_cast<QCheckBox*>(pDX->PrepareCtrl(id));
    if (!box) {
        return;
    }
    if (pDX->m_bSaveAndValidate) {
        switch (box->checkState()) {
        case Qt::Checked:
            value = 1;
            break;
        case Qt::PartiallyChecked:
            value = 2;
            break;
        default:
            value = 0;
            break;
        }
        return;
    }
    switch (value) {
    case 1:
        box->setCheckState(Qt::Checked);
        break;
    case 2:
        box->setTristate(true);
        box->setCheckState(Qt::PartiallyChecked);
        break;
    default:
        box->setCheckState(Qt::Unchecked);
        break;
    }
}

void DDX_Radio(CDataExchange* pDX, int id, int& value)
{
    if (pDX->Failed()) {
        return;
    }
    auto* first = qobject_cast<QAbstractButton*>(pDX->PrepareCtrl(id));
    if (!first) {
        return;
    }
    // The dialog puts each run of radio buttons that starts a group into one button group.
    QButtonGroup* group = first->group();
    QList<QAbstractButton*> buttons = group ? group->buttons() : QList<QAbstractButton*>{first};
    buttons = buttons.mid(std::max<qsizetype>(buttons.indexOf(first), 0));
    if (pDX->m_bSaveAndValidate) {
        value = -1;
        for (qsizetype i = 0; i < buttons.size(); ++i) {
            if (buttons[i]->isChecked()) {
                value = int(i);
                break;
            }
        }
        return;
    }
    // An exclusive group keeps one button checked; let go of that while clearing.
    const bool exclusive = group && group->exclusive();
    if (group) {
        group->setExclusive(false);
    }
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        buttons[i]->setChecked(i == value);
    }
    if (group) {
        group->setExclusive(exclusive);
    }
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minimum, int maximum)
{
    if (pDX->Failed() || !pDX->m_bSaveAndValidate) {
        return;
    }
    if (value >= minimum && value <= maximum) {
        return;
    }
    std::string message;
    LoadString(IDS_PARSE_INT_RANGE, message);
    fw::ReplaceAll(message, "%1", std::to_string(minimum));
    fw::ReplaceAll(message, "%2", std::to_string(maximum));
    fw::ShowExchangeMessage(pDX, message);
    pDX->Fail();
}
