// The camera's format and source dialogs.
#include "platform/capture/DriverDialogParts.h"
#include "platform/capture/DriverDialogRunner.h"
#include "platform/capture/v4l2/V4l2Driver.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QVBoxLayout>
#include <linux/videodev2.h>

namespace vexol::platform::capture::v4l2 {

namespace {

QString RateText(const FrameInterval& i)
{
    const double fps = i.numerator ? double(i.denominator) / i.numerator : 0.0;
    return QStringLiteral("%1 frames per second").arg(fps, 0, 'g', 4);
}

QString ControlObjectName(std::uint32_t id)
{
    return QStringLiteral("control_%1").arg(id, 8, 16, QLatin1Char('0'));
}

} // namespace

std::optional<FormatRequest> V4l2Driver::RunFormatDialog(QWidget* parent)
{
    const FormatPtr current = CurrentFormat();
    if (!current || m_choices.empty()) {
        return std::nullopt;
    }
    QDialog dialog;
    QFormLayout* form = MakeDriverDialog(
        dialog, QStringLiteral("Video Format - %1").arg(QString::fromStdString(m_name)), parent);
    auto* formatBox = new QComboBox;
    formatBox->setObjectName("formatBox");
    auto* sizeBox = new QComboBox;
    sizeBox->setObjectName("sizeBox");
    auto* rateBox = new QComboBox;
    rateBox->setObjectName("rateBox");
    form->addRow(QStringLiteral("Pixel format:"), formatBox);
    form->addRow(QStringLiteral("Image size:"), sizeBox);
    form->addRow(QStringLiteral("Frame rate:"), rateBox);

    const FrameInterval chosen = Interval();
    int selectedWidth = current->Width(), selectedHeight = current->Height();
    for (std::size_t i = 0; i < m_choices.size(); ++i) {
        const FormatChoice& c = m_choices[i];
        formatBox->addItem(QString::fromStdString(c.label), int(i));
        if (c.compression == current->header.biCompression &&
            (c.compression != BI_RGB || c.bitCount == current->header.biBitCount)) {
            formatBox->setCurrentIndex(int(i));
        }
    }
    auto choice = [&]() -> const FormatChoice& {
        return m_choices.at(std::size_t(std::max(0, formatBox->currentIndex())));
    };
    auto fillRates = [&] {
        const int sizeIndex = sizeBox->currentIndex();
        rateBox->clear();
        if (sizeIndex < 0) {
            return;
        }
        const SizeEntry& size = choice().sizes.at(std::size_t(sizeIndex));
        for (std::size_t i = 0; i < size.intervals.size(); ++i) {
            rateBox->addItem(RateText(size.intervals[i]), int(i));
            if (size.intervals[i] == chosen) {
                rateBox->setCurrentIndex(int(i));
            }
        }
    };
    auto fillSizes = [&] {
        const QSignalBlocker block(sizeBox);
        sizeBox->clear();
        const FormatChoice& c = choice();
        int best = 0;
        long bestDistance = -1;
        for (std::size_t i = 0; i < c.sizes.size(); ++i) {
            const SizeEntry& s = c.sizes[i];
            sizeBox->addItem(QStringLiteral("%1 × %2").arg(s.width).arg(s.height));
            const long d = std::labs(long(s.width) - selectedWidth) +
                           std::labs(long(s.height) - selectedHeight);
            if (bestDistance < 0 || d < bestDistance) {
                bestDistance = d;
                best = int(i);
            }
        }
        sizeBox->setCurrentIndex(best);
        fillRates();
    };
    QObject::connect(formatBox, &QComboBox::currentIndexChanged, &dialog, [&] { fillSizes(); });
    QObject::connect(sizeBox, &QComboBox::currentIndexChanged, &dialog, [&](int index) {
        if (index >= 0) {
            selectedWidth = int(choice().sizes.at(std::size_t(index)).width);
            selectedHeight = int(choice().sizes.at(std::size_t(index)).height);
        }
        fillRates();
    });
    fillSizes();
    if (RunDriverDialog(dialog) != QDialog::Accepted || sizeBox->currentIndex() < 0) {
        return std::nullopt;
    }
    const FormatChoice& c = choice();
    const SizeEntry& size = c.sizes.at(std::size_t(sizeBox->currentIndex()));
    if (rateBox->currentIndex() >= 0 &&
        std::size_t(rateBox->currentIndex()) < size.intervals.size()) {
        ChooseInterval(size.intervals[std::size_t(rateBox->currentIndex())]);
    }
    return FormatRequest{int(size.width), int(size.height), c.bitCount, c.compression};
}

bool V4l2Driver::RunSourceDialog(QWidget* parent)
{
    if (!CurrentFormat()) {
        return false;
    }
    QDialog dialog;
    QFormLayout* form = MakeDriverDialog(
        dialog, QStringLiteral("Video Source - %1").arg(QString::fromStdString(m_name)), parent);

    // The values before the dialog, for Cancel.
    std::vector<std::pair<std::uint32_t, std::int64_t>> before;
    struct Row
    {
        ControlInfo info;
        QWidget* widget = nullptr;
        QWidget* label = nullptr;
    };
    std::vector<Row> rows;
    bool updating = false;

    // Shows the camera's values and greys what is inactive now; a change to one control
    // may switch others on or off (automatic exposure, white balance).
    auto refresh = [&] {
        updating = true;
        const std::vector<ControlInfo> now = Controls();
        for (Row& row : rows) {
            for (const ControlInfo& c : now) {
                if (c.id == row.info.id) {
                    row.info = c;
                }
            }
            const bool enabled = row.info.IsWritable() && !row.info.IsInactive();
            row.widget->setEnabled(enabled);
            row.label->setEnabled(enabled);
            const std::optional<std::int64_t> value = ControlValue(row.info.id);
            if (!value) {
                continue;
            }
            if (auto* slider = qobject_cast<QSlider*>(row.widget)) {
                slider->setValue(int(*value));
            } else if (auto* check = qobject_cast<QCheckBox*>(row.widget)) {
                check->setChecked(*value != 0);
            } else if (auto* box = qobject_cast<QComboBox*>(row.widget)) {
                const int index = box->findData(QVariant::fromValue<qlonglong>(*value));
                if (index >= 0) {
                    box->setCurrentIndex(index);
                }
            }
        }
        updating = false;
    };
    auto set = [&](std::uint32_t id, std::int64_t value) {
        if (updating) {
            return;
        }
        SetControlValue(id, value);
        refresh();
    };

    for (const ControlInfo& c : Controls()) {
        if (c.type != V4L2_CTRL_TYPE_BUTTON && c.IsWritable()) {
            if (const auto value = ControlValue(c.id)) {
                before.emplace_back(c.id, *value);
            }
        }
        const QString name = QString::fromStdString(c.name) + QLatin1Char(':');
        QWidget* widget = nullptr;
        const std::uint32_t id = c.id;
        switch (c.type) {
        case V4L2_CTRL_TYPE_INTEGER: {
            auto* slider = new QSlider(Qt::Horizontal);
            slider->setRange(int(std::max<std::int64_t>(c.minimum, INT32_MIN)),
                             int(std::min<std::int64_t>(c.maximum, INT32_MAX)));
            slider->setSingleStep(int(std::min<std::uint64_t>(c.step, INT32_MAX)));
            slider->setPageStep(int(std::min<std::uint64_t>(
                std::max<std::uint64_t>(c.step, std::uint64_t(c.maximum - c.minimum) / 10),
                INT32_MAX)));
            auto* shown = new QLabel(QString::number(slider->value()));
            shown->setMinimumWidth(
                shown->fontMetrics().horizontalAdvance(QStringLiteral("-00000")));
            QObject::connect(slider, &QSlider::valueChanged, shown,
                             [shown](int v) { shown->setNum(v); });
            QObject::connect(slider, &QSlider::valueChanged, &dialog,
                             [&set, id, step = c.step, minimum = c.minimum, slider](int v) {
                                 // Values between the camera's steps go to the nearest step.
                                 const std::int64_t snapped =
                                     minimum +
                                     (std::int64_t(v) - minimum + std::int64_t(step) / 2) /
                                         std::int64_t(step) * std::int64_t(step);
                                 if (snapped != v) {
                                     slider->setValue(int(snapped));
                                     return;
                                 }
                                 set(id, v);
                             });
            auto* holder = new QWidget;
            auto* line = new QHBoxLayout(holder);
            line->setContentsMargins(0, 0, 0, 0);
            line->addWidget(slider);
            line->addWidget(shown);
            slider->setObjectName(ControlObjectName(id));
            form->addRow(name, holder);
            rows.push_back({c, slider, form->labelForField(holder)});
            continue;
        }
        case V4L2_CTRL_TYPE_BOOLEAN: {
            auto* check = new QCheckBox;
            QObject::connect(check, &QCheckBox::toggled, &dialog,
                             [&set, id](bool on) { set(id, on ? 1 : 0); });
            widget = check;
            break;
        }
        case V4L2_CTRL_TYPE_MENU:
        case V4L2_CTRL_TYPE_INTEGER_MENU: {
            auto* box = new QComboBox;
            for (const ControlMenuItem& item : c.menu) {
                box->addItem(QString::fromStdString(item.name),
                             QVariant::fromValue<qlonglong>(item.value));
            }
            QObject::connect(box, &QComboBox::currentIndexChanged, &dialog,
                             [&set, id, box](int index) {
                                 if (index >= 0) {
                                     set(id, box->itemData(index).toLongLong());
                                 }
                             });
            widget = box;
            break;
        }
        case V4L2_CTRL_TYPE_BUTTON: {
            auto* button = new QPushButton(QString::fromStdString(c.name));
            button->setAutoDefault(false);
            QObject::connect(button, &QPushButton::clicked, &dialog, [&set, id] { set(id, 1); });
            widget = button;
            break;
        }
        default:
            continue;
        }
        widget->setObjectName(ControlObjectName(id));
        form->addRow(name, widget);
        rows.push_back({c, widget, form->labelForField(widget)});
    }
    if (rows.empty()) {
        form->addRow(new QLabel(QStringLiteral("This camera has no controls.")));
    }

    QString buttonText;
    switch (m_buttonState) {
    case ButtonState::Found:
        buttonText = QStringLiteral("Found (%1). While it is held, frames of the PL41 format are "
                                    "marked.")
                         .arg(QString::fromStdString(m_buttonNode));
        break;
    case ButtonState::NotPermitted:
        buttonText = QStringLiteral("The camera has one (%1), but you may not read it: add your "
                                    "user to the \"input\" group. The camera works without it.")
                         .arg(QString::fromStdString(m_buttonNode));
        break;
    case ButtonState::None:
        buttonText = QStringLiteral("None.");
        break;
    }
    auto* buttonLabel = new QLabel(buttonText);
    buttonLabel->setObjectName("snapshotButtonState");
    buttonLabel->setWordWrap(true);
    form->addRow(QStringLiteral("Snapshot button:"), buttonLabel);

    auto* reset = new QPushButton(QStringLiteral("&Reset"));
    reset->setObjectName("resetButton");
    reset->setAutoDefault(false);
    reset->setToolTip(QStringLiteral("Sets every control to the camera's default."));
    QObject::connect(reset, &QPushButton::clicked, &dialog, [&] {
        ResetControls();
        refresh();
    });
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>("buttons")) {
        buttons->addButton(reset, QDialogButtonBox::ResetRole);
    }
    refresh();

    const bool accepted = RunDriverDialog(dialog) == QDialog::Accepted;
    if (!accepted) {
        std::map<std::uint32_t, std::int32_t> values;
        for (const auto& [id, value] : before) {
            values[id] = std::int32_t(value);
        }
        RestoreControls(values);
    }
    RememberSettings();
    return accepted;
}

} // namespace vexol::platform::capture::v4l2
