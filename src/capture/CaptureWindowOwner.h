// What the capture window needs from the object that owns it (the application): a
// place for status texts, the store for a newly chosen audio format, and the
// shutter-switch check for streamed frames.
//
// Calls on the capture thread must not wait for the user-interface thread: that thread
// may be joining the capture thread, or handing the window to another owner, which
// waits for calls on their way.
#pragma once

#include "platform/capture/CaptureTypes.h"

class CaptureWindowOwner
{
public:
    virtual ~CaptureWindowOwner() = default;

    // Hands a status text to the user-interface thread (null counts as empty). Called
    // from the capture service's thread during a capture; must not touch widgets.
    virtual void SetPendingStatusText(const char* text) = 0;

    // Stores the capture window's audio format buffer in the registry; called on the
    // user-interface thread after the user chose a format.
    virtual void SaveWaveFormat() = 0;

    // Whether streamed frames go to CheckShutterSwitchFrame. Capture thread.
    virtual BOOL IsShutterSwitchEnabled() const = 0;
    // The shutter-switch check for one streamed frame, after its snapshot was stored.
    // Capture thread; reads the frame in place and must not touch widgets.
    virtual void CheckShutterSwitchFrame(const VIDEOHDR& header) = 0;
};
