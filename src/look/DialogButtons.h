// Where the OK and Cancel buttons of the application's dialogs go: computed from the
// dialog's client size and the buttons' sizes, in client pixels. A coordinate that would
// be negative becomes 0.
#pragma once

#include "platform/WinTypes.h"

class CDialog;
class CImageButton;

struct OkCancelPlacement
{
    POINT ok;
    POINT cancel;
    bool placesCancel = true; // false: a Cancel button stays where it is
};

// Side by side at the bottom, OK first, 5 pixels apart, the pair centred; their tops
// 5 pixels above the bottom edge for the taller one.
OkCancelPlacement PlaceOkCancelSideBySide(SIZE client, SIZE ok, SIZE cancel);
// At the right edge: Cancel in the bottom-right corner 5 pixels from both edges, OK
// directly above it, 5 pixels apart.
OkCancelPlacement PlaceOkCancelAtRightEdge(SIZE client, SIZE ok, SIZE cancel);
// OK alone: centred, its top 5 pixels above the bottom edge for its height. A Cancel
// button is not placed.
OkCancelPlacement PlaceOkCentredAtBottom(SIZE client, SIZE ok, SIZE cancel);
// OK alone: in the bottom-right corner, 5 pixels from both edges. A Cancel button is
// not placed.
OkCancelPlacement PlaceOkAtBottomRight(SIZE client, SIZE ok, SIZE cancel);

// Bitmap strips of the drawn buttons: OK, and Cancel in the user's language.
inline constexpr UINT IDB_OK_BUTTON = 158;
inline constexpr UINT IDB_CANCEL_BUTTON = 157;

// Lets `ok` and `cancel` (either may be null) paint the dialog's IDOK and IDCANCEL
// buttons from their 4-cell strips, without hover tracking; each button becomes one
// cell large. FALSE when a given button is missing or its strip did not load.
BOOL AttachImageButtons(CDialog& dialog, CImageButton* ok, CImageButton* cancel);

// Moves the buttons IDOK and IDCANCEL of `dialog` as `place` computes; their sizes do
// not change. Buttons the dialog lacks stay where they are.
void MoveOkCancel(CDialog& dialog, OkCancelPlacement (*place)(SIZE client, SIZE ok, SIZE cancel));
