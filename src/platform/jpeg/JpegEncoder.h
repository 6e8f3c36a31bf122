// The JPEG encoder library: three entries that compress a packed 24-bit DIB into an
// encoded result held by the library, write that result to a file, and release it.
// Every entry returns 0 on success or one of the JPEGENC_ERR_* codes below; nothing
// throws. All entries may be called from any thread.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <cstdint>

// The compression request. The same record is passed to JpegEncoderCompress and to
// JpegEncoderWriteFile for one picture.
struct JpegEncodeParams
{
    std::int32_t nWidth;       // picture width in pixels, equal to the DIB's biWidth
    std::int32_t nHeight;      // picture height in pixels, equal to the DIB's biHeight
    std::int32_t nFactorX;     // horizontal chroma subsampling factor, 1 or 2
    std::int32_t nFactorY;     // vertical chroma subsampling factor, 1 or 2
    std::int32_t nCompression; // 0..99; the JPEG quality is 100 - nCompression
    std::int32_t nReserved;    // must be 0
};
static_assert(sizeof(JpegEncodeParams) == 24);

// An opaque handle to one encoded result; 0 stands for none.
using JPEGHANDLE = DWORD;

// Result codes. They carry the application-defined bit (bit 29) so they never collide
// with the platform's own error codes.
inline constexpr DWORD JPEGENC_OK = 0;
inline constexpr DWORD JPEGENC_ERR_NULL_ARGUMENT = 0x20000001;  // a pointer argument is null
inline constexpr DWORD JPEGENC_ERR_BAD_DIB = 0x20000002;        // not a usable 24-bit DIB
inline constexpr DWORD JPEGENC_ERR_BAD_PARAMS = 0x20000003;     // record invalid or mismatched
inline constexpr DWORD JPEGENC_ERR_ENCODER = 0x20000004;        // the JPEG encoder failed
inline constexpr DWORD JPEGENC_ERR_UNKNOWN_HANDLE = 0x20000005; // handle is 0, stale or freed
inline constexpr DWORD JPEGENC_ERR_WRITE_FILE = 0x20000006;     // the file could not be written
inline constexpr DWORD JPEGENC_ERR_OUT_OF_MEMORY = 0x20000007;  // no memory or too many results

// Limits on what JpegEncoderCompress accepts.
inline constexpr std::int32_t kJpegEncoderMaxDimension = 65535; // JPEG's 16-bit size fields
inline constexpr std::uint64_t kJpegEncoderMaxPixelBytes = std::uint64_t(1) << 30;
inline constexpr std::size_t kJpegEncoderMaxLiveResults = 1024;

// Compresses the packed DIB at `packedDib` (40-byte BITMAPINFOHEADER followed directly
// by the pixel rows: 24 bits, BI_RGB, positive width and height, rows bottom-up, blue
// green red, each row padded to 4 bytes). Top-down DIBs (negative biHeight) are
// refused. The DIB must hold the whole pixel area its header describes. On success
// *handle receives a new handle; on failure it is set to 0.
DWORD JpegEncoderCompress(const void* packedDib, JPEGHANDLE* handle,
                          const JpegEncodeParams* params);

// Writes the JPEG data of `handle` to `path`, atomically: an earlier file under the
// path survives a failure. `params` must equal the record the handle was made with.
DWORD JpegEncoderWriteFile(const char* path, JPEGHANDLE handle, const JpegEncodeParams* params);

// Releases the result of *handle and always sets *handle to 0. A handle of 0 does
// nothing and succeeds; a stale or already freed handle returns
// JPEGENC_ERR_UNKNOWN_HANDLE and releases nothing.
DWORD JpegEncoderFree(JPEGHANDLE* handle);

// Number of results not yet freed (for diagnostics and tests).
std::size_t JpegEncoderLiveResults();
