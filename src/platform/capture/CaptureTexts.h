// The capture service's status texts, in the user's language (UTF-8).
#pragma once

#include "platform/framework/Resources.h"

#include <string>

namespace vexol::platform::capture {

struct CaptureSummaryInfo
{
    unsigned long frames = 0;  // frames kept
    unsigned long dropped = 0; // frames lost
    double seconds = 0;        // length of the capture
    bool audioRequested = false;
    bool audioRecorded = false;
    double audioSeconds = 0;
};

namespace texts {

using res::Language;

std::string Preparing(Language language);
std::string Started(Language language);
// How to stop: `key` is a key name ("Esc") or empty; the mouse buttons that stop it.
// Empty when nothing stops the capture but the program.
std::string StopPrompt(Language language, const std::string& key, bool leftMouse, bool rightMouse);
std::string Progress(Language language, unsigned long frames, unsigned long dropped,
                     double seconds);
std::string Writing(Language language);
std::string Summary(Language language, const CaptureSummaryInfo& info);
std::string TooManyDropped(Language language, unsigned long dropped, unsigned long total,
                           unsigned percentAllowed);
std::string Ended(Language language);
// The label of the progress dialog while the movie is copied.
std::string SavingMovie(Language language);
// The label of the progress dialog while the capture file is pre-allocated.
std::string AllocatingCaptureFile(Language language);
// The button that cancels a long file operation.
std::string CancelButton(Language language);

} // namespace texts
} // namespace vexol::platform::capture
