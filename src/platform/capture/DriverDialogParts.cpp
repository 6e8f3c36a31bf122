#include "platform/capture/DriverDialogParts.h"

#include "platform/capture/FrameConversion.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QVBoxLayout>
#include <QWindow>

namespace vexol::platform::capture {

QFormLayout* MakeDriverDialog(QDialog& dialog, const QString& title, QWidget* parent)
{
    dialog.setWindowTitle(title);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (parent && parent->window()->windowHandle()) {
        dialog.winId(); // makes the dialog's native window, to give it a transient parent
        dialog.windowHandle()->setTransientParent(parent->window()->windowHandle());
    }
    auto* outer = new QVBoxLayout(&dialog);
    auto* form = new QFormLayout;
    outer->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->setObjectName("buttons");
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    outer->addWidget(buttons);
    return form;
}

QComboBox* AddSizeChoice(QFormLayout& form, const std::vector<FrameSize>& sizes,
                         const VideoFormat* current)
{
    auto* box = new QComboBox;
    box->setObjectName("sizeBox");
    for (const FrameSize& s : sizes) {
        box->addItem(QStringLiteral("%1 × %2").arg(s.width).arg(s.height));
        if (current && current->Width() == s.width && current->Height() == s.height) {
            box->setCurrentIndex(box->count() - 1);
        }
    }
    form.addRow(QStringLiteral("Image size:"), box);
    return box;
}

QSlider* AddBrightnessChoice(QFormLayout& form, int percent)
{
    auto* row = new QHBoxLayout;
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName("brightnessSlider");
    slider->setRange(0, 200);
    slider->setValue(percent);
    auto* label = new QLabel(QStringLiteral("%1 %").arg(percent));
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("200 %")));
    QObject::connect(slider, &QSlider::valueChanged, label,
                     [label](int v) { label->setText(QStringLiteral("%1 %").arg(v)); });
    row->addWidget(slider);
    row->addWidget(label);
    form.addRow(QStringLiteral("Brightness:"), row);
    return slider;
}

void PaintFrameStretched(QPainter& painter, const QRect& area, const VideoFrame* frame)
{
    const QImage image = frame ? FrameToImage(*frame) : QImage();
    if (image.isNull()) {
        painter.fillRect(area, Qt::black);
        return;
    }
    painter.drawImage(area, image);
}

} // namespace vexol::platform::capture
