#include "platform/capture/v4l2/CameraTexts.h"

#include <cerrno>
#include <cstring>

namespace vexol::platform::capture::v4l2::texts {

namespace {

bool IsJapanese(Language language)
{
    return language == Language::Japanese;
}

bool IsGone(int error)
{
    return error == ENODEV || error == ENXIO || error == ENOENT || error == ESHUTDOWN;
}

} // namespace

std::string Disconnected(Language language, const std::string& camera)
{
    return IsJapanese(language) ? "カメラ「" + camera + "」が取り外されました。"
                                : "The camera \"" + camera + "\" was disconnected.";
}

std::string OpenFailed(Language language, const std::string& camera, int error)
{
    if (error == EBUSY) {
        return IsJapanese(language)
                   ? "カメラ「" + camera +
                         "」は他のプログラムが使用中です。そのプログラムを終了してから、もう一度"
                         "カメラを選んでください。"
                   : "The camera \"" + camera +
                         "\" is in use by another program. Close that program and choose the "
                         "camera again.";
    }
    if (error == EACCES || error == EPERM) {
        return IsJapanese(language)
                   ? "カメラ「" + camera +
                         "」を使う権限がありません。ユーザーを「video」グループに加えて、ログイン"
                         "し直してください。"
                   : "You may not use the camera \"" + camera +
                         "\". Add your user to the \"video\" group and log in again.";
    }
    if (IsGone(error)) {
        return Disconnected(language, camera);
    }
    const std::string reason = std::strerror(error);
    return IsJapanese(language)
               ? "カメラ「" + camera + "」に接続できません（" + reason + "）。"
               : "The camera \"" + camera + "\" cannot be connected (" + reason + ").";
}

std::string StreamFailed(Language language, const std::string& camera, int error)
{
    if (IsGone(error)) {
        return Disconnected(language, camera);
    }
    if (error == EBUSY || error == EACCES || error == EPERM) {
        return OpenFailed(language, camera, error);
    }
    const std::string reason = std::strerror(error);
    return IsJapanese(language)
               ? "カメラ「" + camera + "」から映像が届かなくなりました（" + reason + "）。"
               : "The camera \"" + camera + "\" stopped delivering pictures (" + reason + ").";
}

} // namespace vexol::platform::capture::v4l2::texts
