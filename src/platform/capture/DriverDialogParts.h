// Pieces shared by the built-in drivers' dialogs and overlay painting.
#pragma once

#include "platform/capture/SyntheticCameraDriver.h"

#include <QString>
#include <vector>

class QComboBox;
class QDialog;
class QFormLayout;
class QPainter;
class QRect;
class QSlider;
class QWidget;

namespace vexol::platform::capture {

// A dialog with a form and OK / Cancel buttons; controls go into the returned form. The
// dialog stays on top of `parent`'s window without being its child, so that the window
// may go away while the dialog runs.
QFormLayout* MakeDriverDialog(QDialog& dialog, const QString& title, QWidget* parent);

// "Image size:" choice over `sizes`, preselecting the current size; object name "sizeBox".
QComboBox* AddSizeChoice(QFormLayout& form, const std::vector<FrameSize>& sizes,
                         const VideoFormat* current);

// "Brightness:" slider 0 to 200 % with a value label; object name "brightnessSlider".
QSlider* AddBrightnessChoice(QFormLayout& form, int percent);

// Draws a frame stretched over `area`, black where there is none.
void PaintFrameStretched(QPainter& painter, const QRect& area, const VideoFrame* frame);

} // namespace vexol::platform::capture
