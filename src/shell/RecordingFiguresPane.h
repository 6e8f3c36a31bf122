// The status bar's pane of live recording figures, placed after the frame's five panes:
// elapsed time, frames, frame rate, data rate and the disk space left with the time it
// lasts. It shows only while a recording into the capture file runs, is refreshed twice
// a second, and turns into a warning when less than a minute of space is left.
#pragma once

#include "platform/capture/RecordingFigures.h"

#include <QLabel>
#include <QTimer>
#include <functional>

namespace vexol::shell {

class RecordingFiguresPane : public QLabel
{
public:
    // Reads the running recording; false when none runs.
    using SampleSource = std::function<bool(platform::capture::RecordingSample&)>;
    static constexpr int kRefreshMs = 500;

    RecordingFiguresPane(SampleSource source, QWidget* parent = nullptr);

    // Reads the recording and shows its figures, or hides the pane when none runs. The
    // pane's timer calls it.
    void Refresh();
    bool IsWarning() const { return m_warning; }

private:
    void SetWarning(bool warning);

    SampleSource m_source;
    platform::capture::RecordingMeter m_meter;
    QTimer m_timer;
    bool m_warning = false;
};

} // namespace vexol::shell
