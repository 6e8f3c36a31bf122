// Where the OK and Cancel buttons of the application's dialogs go: computed from the
// dialog's client size and the buttons' sizes, in client pixels. A coordinate that would
// be negative becomes 0.
#pragma once

#include "platform/WinTypes.h"

class CDialog;

struct OkCancelPlacement
{
    POINT ok;
    POINT cancel;
};

// Side by side at the bottom, OK first, 5 pixels apart, the pair centred; their tops
// 5 pixels above the bottom edge for the taller one.
OkCancelPlacement PlaceOkCancelSideBySide(SIZE client, SIZE ok, SIZE cancel);
// At the right edge: Cancel in the bottom-right corner 5 pixels from both edges, OK
// directly above it, 5 pixels apart.
OkCancelPlacement PlaceOkCancelAtRightEdge(SIZE client, SIZE ok, SIZE cancel);
// OK alone: centred, its top 5 pixels above the bottom edge for its height. Cancel is
// not placed (position 0, 0).
OkCancelPlacement PlaceOkCentredAtBottom(SIZE client, SIZE ok, SIZE cancel);

// Moves the buttons IDOK and IDCANCEL of `dialog` as `place` computes; their sizes do
// not change. Buttons the dialog lacks stay where they are.
void MoveOkCancel(CDialog& dialog, OkCancelPlacement (*place)(SIZE client, SIZE ok, SIZE cancel));
