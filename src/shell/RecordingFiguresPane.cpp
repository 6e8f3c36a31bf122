#include "shell/RecordingFiguresPane.h"

#include "platform/framework/Resources.h"

namespace vexol::shell {

using platform::capture::RecordingSample;

RecordingFiguresPane::RecordingFiguresPane(SampleSource source, QWidget* parent)
    : QLabel(parent), m_source(std::move(source))
{
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setContentsMargins(6, 0, 6, 0);
    // The line may be cut rather than widen the main window; the tooltip holds it whole.
    setMinimumWidth(fontMetrics().averageCharWidth() * 16);
    setVisible(false);
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &RecordingFiguresPane::Refresh);
    m_timer.start();
}

void RecordingFiguresPane::Refresh()
{
    RecordingSample sample;
    if (!m_source || !m_source(sample)) {
        if (!isHidden()) {
            setVisible(false);
            clear();
        }
        SetWarning(false);
        m_meter.Reset();
        return;
    }
    const auto figures = m_meter.Add(sample);
    const QString text = QString::fromStdString(
        platform::capture::texts::RecordingFiguresText(res::UserLanguage(), figures));
    setText(text);
    setToolTip(text); // the whole line, should the bar be too narrow for it
    SetWarning(figures.lowSpace);
    if (isHidden()) {
        setVisible(true);
    }
}

void RecordingFiguresPane::SetWarning(bool warning)
{
    if (warning == m_warning) {
        return;
    }
    m_warning = warning;
    setStyleSheet(warning ? QStringLiteral("QLabel { background: #c62828; color: white; "
                                           "font-weight: bold; }")
                          : QString());
}

} // namespace vexol::shell
