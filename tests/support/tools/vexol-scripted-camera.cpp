// The real application with the scripted webcam (and its snapshot button) plugged in, for
// trying the camera's dialogs and picture by hand or with xdotool on a machine without a
// camera. A test tool: it is built with the tests and never installed.
#include "scripted/ScriptedCamera.h"
#include "shell/CVexolApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication qtApplication(argc, argv);
    auto button = std::make_shared<scripted::ScriptedButton>();
    scripted::ScriptedCameraScope scope(std::make_shared<scripted::ScriptedButtonFinder>(
        vexol::platform::capture::v4l2::ButtonState::Found, button));
    scope.Io().Plug("/dev/video0", scripted::ScriptedCamera::TypicalWebcam());
    CVexolApp app;
    return app.Run();
}
