// The capture service's texts about files, in the user's language (UTF-8): what was
// being done and why it failed, the system's reason included. The error callback shows
// them, and vexol-cap prints them.
#pragma once

#include "platform/FileTarget.h"
#include "platform/framework/Resources.h"

#include <string>

namespace vexol::platform::capture::texts {

using res::Language;

// What was being done when a file operation failed.
enum class FileAction {
    OpenCaptureFile,
    WriteCaptureFile,
    WriteIndex,
    WriteHeader,
    StartRecording,
    AllocateCaptureFile,
    ReadCaptureFile,
    SaveMovie,
    ReadMovie,
};

// The system's reason for an errno value, in the user's language.
std::string SystemError(Language language, int error);
// Why a path was refused (FileTarget.h); `captureFile` names the capture file.
std::string Refusal(Language language, const FileCheck& check, bool captureFile);
// "<action>: <reason>."
std::string FileError(Language language, FileAction action, const std::string& reason);

// Texts of their own.
enum class FileMessage {
    NoCaptureFile,
    ZeroSize,
    SizeTooLarge,
    AllocationCancelled,
    CaptureFileMissing,
    SaveOverCaptureFile,
    SaveCancelled,
    SaveOutOfMemory,
    IndexFull,
};
std::string Message(Language language, FileMessage message);
// The capture file holds nothing that can be read or rebuilt; `detail` says what.
std::string NotAMovie(Language language, const std::string& detail);
// The audio device stopped during a recording, for `reason`.
std::string AudioStopped(Language language, const std::string& reason);
// A movie was rebuilt from the whole chunks found; `damagedCaptureFile` when a copy of
// the capture file needed it.
std::string Rebuilt(Language language, unsigned long frames, unsigned long audioChunks,
                    bool damagedCaptureFile);

} // namespace vexol::platform::capture::texts
