#include "platform/capture/CaptureTexts.h"

#include <cstdio>

namespace vexol::platform::capture::texts {

namespace {

std::string Format(const char* format, auto... args)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

bool Japanese(Language language)
{
    return language == Language::Japanese;
}

} // namespace

std::string Preparing(Language language)
{
    return Japanese(language) ? "キャプチャの準備中です。" : "Preparing to capture.";
}

std::string Started(Language language)
{
    return Japanese(language) ? "キャプチャを開始しました。" : "Capture started.";
}

std::string StopPrompt(Language language, const std::string& key, bool leftMouse, bool rightMouse)
{
    const bool mouse = leftMouse || rightMouse;
    if (key.empty() && !mouse) {
        return {};
    }
    if (Japanese(language)) {
        const char* button = leftMouse && rightMouse ? "マウスボタン"
                             : leftMouse             ? "マウスの左ボタン"
                                                     : "マウスの右ボタン";
        if (!key.empty() && mouse) {
            return key + " キーか" + button + "を押すと停止します。";
        }
        return !key.empty() ? key + " キーを押すと停止します。"
                            : std::string(button) + "を押すと停止します。";
    }
    const char* button = leftMouse && rightMouse ? "a mouse button"
                         : leftMouse             ? "the left mouse button"
                                                 : "the right mouse button";
    if (!key.empty() && mouse) {
        return "Press " + key + " or " + button + " to stop.";
    }
    return !key.empty() ? "Press " + key + " to stop."
                        : "Press " + std::string(button) + " to stop.";
}

std::string Progress(Language language, unsigned long frames, unsigned long dropped, double seconds)
{
    return Japanese(language) ? Format("%lu フレームをキャプチャしました (欠落 %lu)、%.1f 秒。",
                                       frames, dropped, seconds)
                              : Format("Captured %lu frames (%lu dropped) in %.1f seconds.", frames,
                                       dropped, seconds);
}

std::string Writing(Language language)
{
    return Japanese(language) ? "キャプチャを終了し、ファイルを書き込んでいます。"
                              : "Capture finished; writing the file.";
}

std::string Summary(Language language, const CaptureSummaryInfo& info)
{
    const double rate = info.seconds > 0 ? info.frames / info.seconds : 0.0;
    std::string text;
    if (Japanese(language)) {
        text =
            Format("%lu フレーム (欠落 %lu) を %.2f 秒でキャプチャしました (毎秒 %.2f フレーム)。",
                   info.frames, info.dropped, info.seconds, rate);
        if (info.audioRecorded) {
            text += Format(" 音声 %.2f 秒。", info.audioSeconds);
        } else if (info.audioRequested) {
            text += " 音声入力デバイスがないため、音声は記録されていません。";
        }
        return text;
    }
    text = Format("Captured %lu frames (%lu dropped) in %.2f seconds (%.2f frames per second).",
                  info.frames, info.dropped, info.seconds, rate);
    if (info.audioRecorded) {
        text += Format(" Audio: %.2f seconds.", info.audioSeconds);
    } else if (info.audioRequested) {
        text += " No audio was recorded: there is no audio capture device.";
    }
    return text;
}

std::string TooManyDropped(Language language, unsigned long dropped, unsigned long total,
                           unsigned percentAllowed)
{
    const double percent = total ? 100.0 * dropped / total : 0.0;
    return Japanese(language)
               ? Format("%lu フレーム中 %lu フレーム (%.1f %%) が欠落しました (許容 %u %%)。",
                        total, dropped, percent, percentAllowed)
               : Format("%lu of %lu frames (%.1f %%) were dropped; at most %u %% are allowed.",
                        dropped, total, percent, percentAllowed);
}

std::string Ended(Language language)
{
    return Japanese(language) ? "キャプチャを終了しました。" : "Capture ended.";
}

std::string SavingMovie(Language language)
{
    return Japanese(language) ? "キャプチャした動画を保存しています..."
                              : "Saving the captured movie...";
}

std::string AllocatingCaptureFile(Language language)
{
    return Japanese(language) ? "キャプチャファイルの領域を確保しています..."
                              : "Reserving disk space for the capture file...";
}

std::string CancelButton(Language language)
{
    return Japanese(language) ? "キャンセル" : "Cancel";
}

} // namespace vexol::platform::capture::texts
