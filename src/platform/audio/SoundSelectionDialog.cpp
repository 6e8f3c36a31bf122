#include "platform/audio/SoundSelectionDialog.h"

#include "platform/WindowRegistry.h"
#include "platform/audio/WaveFormat.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vexol::platform::audio {

SoundSelectionDialog::SoundSelectionDialog(const SoundSelectionRequest& request,
                                           res::Language language)
    : QDialog(WindowOfHandle(request.owner))
{
    const bool japanese = language == res::Language::Japanese;
    setWindowTitle(QString::fromStdString(request.title));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    m_buttons->button(QDialogButtonBox::Cancel)
        ->setText(japanese ? QStringLiteral("キャンセル") : QStringLiteral("Cancel"));

    if (request.offered.empty()) {
        auto* none = new QLabel(
            japanese ? QStringLiteral("サウンド入力デバイスで録音できる形式がありません。")
                     : QStringLiteral("The sound input device cannot record any of the formats."),
            this);
        none->setObjectName(QStringLiteral("noFormatsLabel"));
        none->setWordWrap(true);
        layout->addWidget(none);
    } else {
        layout->addWidget(
            new QLabel(japanese ? QStringLiteral("形式(&F):") : QStringLiteral("&Format:"), this));
        m_list = new QListWidget(this);
        m_list->setObjectName(QStringLiteral("formatList"));
        m_list->setSelectionMode(QAbstractItemView::SingleSelection);
        for (const WAVEFORMATEX& format : request.offered) {
            const unsigned kilobytes = (format.nAvgBytesPerSec + 512) / 1024;
            m_list->addItem(QString::fromStdString(DescribePcmFormat(format, language)) +
                            QStringLiteral("   (%1 KB/s)").arg(kilobytes));
        }
        if (request.preselected >= 0 && request.preselected < m_list->count())
            m_list->setCurrentRow(request.preselected);
        layout->addWidget(m_list);
        connect(m_list, &QListWidget::itemSelectionChanged, this,
                &SoundSelectionDialog::UpdateOkButton);
        connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    }
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    UpdateOkButton();
}

void SoundSelectionDialog::UpdateOkButton()
{
    const bool chosen = m_list != nullptr && !m_list->selectedItems().isEmpty();
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(chosen);
}

int SoundSelectionDialog::ChosenIndex() const
{
    if (result() != QDialog::Accepted || m_list == nullptr || m_list->selectedItems().isEmpty())
        return -1;
    return m_list->row(m_list->selectedItems().first());
}

} // namespace vexol::platform::audio
