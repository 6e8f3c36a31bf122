#include "platform/capture/FileTexts.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <locale.h>

namespace vexol::platform::capture::texts {

namespace {

bool Japanese(Language language)
{
    return language == Language::Japanese;
}

// The C library's English text, whatever the process locale.
std::string EnglishStrerror(int error)
{
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
    const char* text = c ? ::strerror_l(error, c) : nullptr;
    return text ? text : "error " + std::to_string(error);
}

struct ErrorText
{
    int error;
    const char* english;
    const char* japanese;
};

constexpr ErrorText kErrorTexts[] = {
    {ENOSPC, "the disk is full", "ディスクがいっぱいです"},
    {EDQUOT, "the disk quota is used up", "ディスクの割り当てを使い切りました"},
    {EFBIG, "the file has reached the largest size allowed",
     "ファイルが許される最大のサイズに達しました"},
    {EIO, "an input/output error occurred", "入出力エラーが発生しました"},
    {ENOENT, "the file or its folder does not exist", "ファイルまたはフォルダーがありません"},
    {ENOTDIR, "a part of the path is not a folder", "パスの途中がフォルダーではありません"},
    {EACCES, "access was denied", "アクセスが拒否されました"},
    {EPERM, "the operation is not permitted", "この操作は許可されていません"},
    {EROFS, "the disk is read-only", "ディスクは読み取り専用です"},
    {EISDIR, "the path is a folder", "パスはフォルダーです"},
    {ENAMETOOLONG, "the name is too long", "名前が長すぎます"},
    {ENOMEM, "there is not enough memory", "メモリが足りません"},
    {EMFILE, "too many files are open", "開いているファイルが多すぎます"},
    {ENFILE, "too many files are open", "開いているファイルが多すぎます"},
    {ELOOP, "the path is a symbolic link", "パスはシンボリックリンクです"},
    {EBUSY, "the file is busy", "ファイルは使用中です"},
    {EEXIST, "the file already exists", "ファイルはすでにあります"},
    {EINVAL, "the system refused the request as invalid (invalid argument)",
     "システムが要求を無効として拒否しました（Invalid argument）"},
    {ESPIPE, "the file cannot be positioned in (illegal seek)",
     "ファイル内の位置を指定できません（Illegal seek）"},
};

} // namespace

std::string SystemError(Language language, int error)
{
    for (const ErrorText& entry : kErrorTexts) {
        if (entry.error == error) {
            return Japanese(language) ? entry.japanese : entry.english;
        }
    }
    const std::string system = EnglishStrerror(error);
    return Japanese(language) ? "システムのエラーです（" + system + "）" : system;
}

std::string Refusal(Language language, const FileCheck& check, bool captureFile)
{
    const bool ja = Japanese(language);
    switch (check.refusal) {
    case FileRefusal::None:
        return {};
    case FileRefusal::NotRegularFile:
        return ja ? "通常のファイルではありません（フォルダー、デバイス、FIFO、ソケットのいずれかで"
                    "す）"
                  : "it is not a regular file (it is a folder, device, FIFO or socket)";
    case FileRefusal::PseudoFileSystem:
        return ja ? "/proc や /sys "
                    "のようなカーネルの疑似ファイルシステム上にあり、書き込むと動作中の"
                    "システムが変わります"
                  : "it lies on a kernel pseudo file system such as /proc or /sys, where writing "
                    "would change the running system";
    case FileRefusal::SymbolicLink:
        return ja ? "シンボリックリンクです。リンク先のファイル名を指定してください"
                  : "it is a symbolic link; give the name of the file it points to";
    case FileRefusal::InUse:
        if (captureFile) {
            return ja ? "キャプチャファイルは使用中です（別の録画、領域の確保またはコピーが使ってい"
                        "ます）"
                      : "the capture file is in use (by another recording, allocation or copy)";
        }
        return ja ? "ファイルは別の録画が使用中です" : "the file is in use by a recording";
    case FileRefusal::SystemError:
        return SystemError(language, check.error != 0 ? check.error : EIO);
    }
    return {};
}

std::string FileError(Language language, FileAction action, const std::string& reason)
{
    const bool ja = Japanese(language);
    const char* what = "";
    switch (action) {
    case FileAction::OpenCaptureFile:
        what = ja ? "キャプチャファイルを開けません" : "The capture file cannot be opened";
        break;
    case FileAction::WriteCaptureFile:
        what = ja ? "キャプチャファイルに書き込めません" : "The capture file cannot be written";
        break;
    case FileAction::WriteIndex:
        what = ja ? "キャプチャファイルのインデックスを書き込めません"
                  : "The capture file's index cannot be written";
        break;
    case FileAction::WriteHeader:
        what = ja ? "キャプチャファイルのヘッダーを書き込めません"
                  : "The capture file's header cannot be written";
        break;
    case FileAction::StartRecording:
        what =
            ja ? "キャプチャファイルに最初のフレームを書き込めないため、録画を始められません"
               : "The recording cannot start: the first frame does not fit into the capture file";
        break;
    case FileAction::AllocateCaptureFile:
        what = ja ? "キャプチャファイルの領域を確保できません"
                  : "The capture file cannot be allocated";
        break;
    case FileAction::ReadCaptureFile:
        what = ja ? "キャプチャファイルを読み込めません" : "The capture file cannot be read";
        break;
    case FileAction::SaveMovie:
        what = ja ? "動画を保存できません" : "The movie cannot be saved";
        break;
    case FileAction::ReadMovie:
        what = ja ? "動画を読み込めません" : "The movie cannot be read";
        break;
    }
    return ja ? std::string(what) + "：" + reason + "。" : std::string(what) + ": " + reason + ".";
}

std::string Message(Language language, FileMessage message)
{
    const bool ja = Japanese(language);
    switch (message) {
    case FileMessage::NoCaptureFile:
        return ja ? "キャプチャファイルが設定されていません。" : "No capture file is set.";
    case FileMessage::ZeroSize:
        return ja ? "キャプチャファイルのサイズは 0 より大きくしてください。"
                  : "The capture file size must be larger than zero.";
    case FileMessage::SizeTooLarge:
        return ja ? "キャプチャファイルのサイズが大きすぎます。" : "The capture file size is too large.";
    case FileMessage::AllocationCancelled:
        return ja ? "キャプチャファイルの確保を取り消しました。" : "The allocation was cancelled.";
    case FileMessage::CaptureFileMissing:
        return ja ? "キャプチャファイルがありません。" : "The capture file does not exist.";
    case FileMessage::SaveOverCaptureFile:
        return ja ? "キャプチャファイルそのものには動画を保存できません。"
                  : "The movie cannot be saved over the capture file itself.";
    case FileMessage::SaveCancelled:
        return ja ? "動画の保存を取り消しました。" : "Saving the movie was cancelled.";
    case FileMessage::SaveOutOfMemory:
        return ja ? "動画を保存するためのメモリが足りません。"
                  : "There is not enough memory to save the movie.";
    case FileMessage::IndexFull:
        return ja ? "キャプチャファイルのインデックスがいっぱいになったため、録画を終了しました。"
                    "より長く録画するには、インデックスの数を増やしてください。"
                  : "The capture file's index is full; the recording has ended. Allow more index "
                    "entries to record longer.";
    }
    return {};
}

std::string NotAMovie(Language language, const std::string& detail)
{
    return Japanese(language)
               ? "読み取りも再構築もできる動画がありません（" + detail + "）。"
               : "The file holds no movie that can be read or rebuilt: " + detail + ".";
}

std::string AudioStopped(Language language, const std::string& reason)
{
    return Japanese(language) ? "音声キャプチャデバイスが動作しなくなりました（" + reason +
                                    "）。録画は音声なしで続きます。"
                              : "The audio capture device stopped working: " + reason +
                                    ". The recording goes on without sound.";
}

std::string Rebuilt(Language language, unsigned long frames, unsigned long audioChunks,
                    bool damagedCaptureFile)
{
    char buffer[512];
    if (Japanese(language)) {
        std::snprintf(
            buffer, sizeof buffer,
            "%s動画を、そろっているチャンクから作り直しました。残ったのはフレーム %lu 枚と"
            "音声ブロック %lu 個です。",
            damagedCaptureFile ? "キャプチャファイルは途中で切れているか壊れていました。" : "",
            frames, audioChunks);
    } else {
        std::snprintf(buffer, sizeof buffer,
                      "%sThe movie was rebuilt from the whole chunks found: %lu frames and %lu "
                      "audio blocks were kept.",
                      damagedCaptureFile ? "The capture file was cut short or damaged. " : "",
                      frames, audioChunks);
    }
    return buffer;
}

} // namespace vexol::platform::capture::texts
