// What the capture window needs from the object that owns it (the application): a
// place for status texts, the store for a newly chosen audio format, and the saving of
// shutter-switch stills.
//
// Calls on the capture thread must not wait for the user-interface thread: that thread
// may be joining the capture thread, or handing the window to another owner, which
// waits for calls on their way.
#pragma once

#include "platform/capture/CaptureTypes.h"

class CDib;

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

    // Whether streamed frames are looked at for the shutter switch. Capture thread.
    virtual BOOL IsShutterSwitchEnabled() const = 0;
    // Saves the picture of a frame taken while the shutter switch was pressed, as the
    // next numbered still. Capture thread; must not touch widgets and reports nothing.
    virtual void SaveShutterStill(CDib& picture) = 0;
};
