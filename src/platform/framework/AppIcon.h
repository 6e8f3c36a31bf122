// The application icon (resource IDR_MAINFRAME): the desktop's installed icon when
// there is one, else the sizes built into the program.
#pragma once

#include <QIcon>

namespace vexol::platform::framework {

// The icon theme's "vexol" icon, or the built-in 16, 32, 48, 64 and 128-pixel images.
QIcon ApplicationIcon();
// The built-in images alone.
QIcon BuiltInApplicationIcon();

} // namespace vexol::platform::framework
