// Stills as files: the driver's current frame taken as a 24-bit bitmap, a bitmap written
// as BMP or JPEG, and the names of numbered stills. Nothing here touches a window, so
// the shutter-switch mode saves with it from the capture thread.
#pragma once

#include "platform/WinTypes.h"
#include "platform/jpeg/JpegEncoder.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CCaptureWindowBase;
class CDib;
class RegistryStore;

namespace vexol::still {

// JPEG quality choices, the JPEG mode setting and the save-still dialog's m_nJpegMode.
inline constexpr INT kJpegHigh = 0;
inline constexpr INT kJpegMedium = 1;
inline constexpr INT kJpegLow = 2;

// The encoder record for a picture of `width` × `height` in `jpegMode`: High 1, 1, 5;
// Low 2, 2, 75; Medium and any other value 2, 2, 20.
JpegEncodeParams JpegParamsFor(INT jpegMode, LONG width, LONG height);

// True when the name's extension is ".jpg" in any case; every other name is a BMP.
bool IsJpegName(std::string_view path);

// The name of a numbered still: the base's folder and name, "_", (counter + 1) mod 10000
// in four digits and the base's extension. "/pics/cat.jpg" with 0 gives
// "/pics/cat_0001.jpg".
std::string NumberedStillName(std::string_view base, INT counter);
// The counter after a numbered still was saved: one more, 10000 becoming 0.
INT NextStillCounter(INT counter);

// Has the driver write its current frame (the frozen one while the display is frozen) to
// a new temporary BMP file, which is read back and removed, and loads it with
// LoadStillFile. FALSE, with `bitmap` empty, when no picture came.
BOOL TakeStillImage(CCaptureWindowBase& capture, CDib& bitmap);

// Loads the picture of a BMP file's bytes as a taken still: the packed DIB after the
// 14-byte file header (which is not examined); 2, 4 and 8-bit pictures as 24-bit,
// 16-bit (5-5-5) and 32-bit ones converted to 24-bit, any other depth as it is. A file
// too short for its headers or for the rows they describe is refused.
BOOL LoadStillFile(const std::uint8_t* file, std::size_t size, CDib& bitmap);

// Writes `bitmap` to `path`: JPEG in `jpegMode` for a ".jpg" name, else BMP. A null
// bitmap takes the driver's current frame from `capture` first.
BOOL SaveStillImage(const char* path, CDib* bitmap, INT jpegMode, CCaptureWindowBase* capture);

// Saves `bitmap` (null: the driver's current frame) under the next numbered name of the
// store's continuous-save base and advances the counter; a failed save keeps it, so the
// next attempt uses the same number. FALSE without a base name.
BOOL SaveNumberedStill(RegistryStore& store, CDib* bitmap, CCaptureWindowBase* capture);

} // namespace vexol::still
