// Hand-overs to the user-interface thread: the thread of the application object, the
// only one that may touch windows.
#pragma once

#include <functional>

// Whether the calling thread is the user-interface thread; true on any thread while
// there is no application object (the caller then is all the user interface there is).
bool IsUiThread();

// Queues `work` to run later on the user-interface thread, from any thread; false, with
// `work` dropped, when there is no application object to run it.
bool RunOnUiThread(std::function<void()> work);

// Handles the events pending on the user-interface thread once; does nothing on other
// threads and without an application object.
void ProcessPendingEvents();
