#include "platform/jpeg/JpegEncoder.h"

#include "platform/AtomicFile.h"
#include "platform/BitmapLayout.h"

#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <turbojpeg.h>
#include <unordered_map>
#include <utility>

namespace {

struct TjBufferDeleter
{
    void operator()(unsigned char* p) const { tjFree(p); }
};
using TjBuffer = std::unique_ptr<unsigned char, TjBufferDeleter>;

// One encoded picture. Immutable once stored, so a writer may keep using it after
// another thread has freed its handle.
struct EncodedImage
{
    JpegEncodeParams params{};
    TjBuffer data;
    unsigned long size = 0;
};

// The live results, by handle.
class ResultTable
{
public:
    // Stores `image` under a new handle; 0 when the table is full.
    JPEGHANDLE Add(std::shared_ptr<const EncodedImage> image)
    {
        std::lock_guard lock(m_mutex);
        if (m_results.size() >= kJpegEncoderMaxLiveResults) {
            return 0;
        }
        // Handles count up and wrap round, skipping 0 and live ones, so a freed handle
        // is not handed out again until the counter has come all the way round.
        while (m_next == 0 || m_results.count(m_next) != 0) {
            ++m_next;
        }
        const JPEGHANDLE handle = m_next++;
        m_results.emplace(handle, std::move(image));
        return handle;
    }

    std::shared_ptr<const EncodedImage> Find(JPEGHANDLE handle)
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_results.find(handle);
        return it == m_results.end() ? nullptr : it->second;
    }

    bool Remove(JPEGHANDLE handle)
    {
        std::shared_ptr<const EncodedImage> released; // freed after the lock is dropped
        {
            std::lock_guard lock(m_mutex);
            const auto it = m_results.find(handle);
            if (it == m_results.end()) {
                return false;
            }
            released = std::move(it->second);
            m_results.erase(it);
        }
        return true;
    }

    std::size_t Count()
    {
        std::lock_guard lock(m_mutex);
        return m_results.size();
    }

private:
    std::mutex m_mutex; // guards m_results and m_next
    std::unordered_map<JPEGHANDLE, std::shared_ptr<const EncodedImage>> m_results;
    JPEGHANDLE m_next = 1;
};

ResultTable& Results()
{
    static ResultTable table;
    return table;
}

// One compressor per thread: a TurboJPEG handle must not be used by two threads at
// once, and making one per call costs more than the encode of a small picture.
class ThreadCompressor
{
public:
    ThreadCompressor() = default;
    ThreadCompressor(const ThreadCompressor&) = delete;
    ThreadCompressor& operator=(const ThreadCompressor&) = delete;
    ~ThreadCompressor()
    {
        if (m_handle != nullptr) {
            tjDestroy(m_handle);
        }
    }
    tjhandle Get()
    {
        if (m_handle == nullptr) {
            m_handle = tjInitCompress();
        }
        return m_handle;
    }

private:
    tjhandle m_handle = nullptr;
};

thread_local ThreadCompressor t_compressor;

// The TurboJPEG subsampling for the factors, or -1 when they are not supported.
int SubsamplingFor(std::int32_t factorX, std::int32_t factorY)
{
    if (factorX == 1 && factorY == 1) {
        return TJSAMP_444;
    }
    if (factorX == 2 && factorY == 2) {
        return TJSAMP_420;
    }
    if (factorX == 2 && factorY == 1) {
        return TJSAMP_422;
    }
    if (factorX == 1 && factorY == 2) {
        return TJSAMP_440;
    }
    return -1;
}

bool SameRecord(const JpegEncodeParams& a, const JpegEncodeParams& b)
{
    return a.nWidth == b.nWidth && a.nHeight == b.nHeight && a.nFactorX == b.nFactorX &&
           a.nFactorY == b.nFactorY && a.nCompression == b.nCompression &&
           a.nReserved == b.nReserved;
}

// Checks the header of a packed DIB; on success gives the row stride in bytes.
bool CheckDib(const BITMAPINFOHEADER& header, int& stride)
{
    if (header.biSize != sizeof(BITMAPINFOHEADER) || header.biBitCount != 24 ||
        header.biCompression != BI_RGB) {
        return false;
    }
    // Only bottom-up DIBs, the layout the bitmap model keeps, are taken.
    if (header.biWidth <= 0 || header.biHeight <= 0 || header.biWidth > kJpegEncoderMaxDimension ||
        header.biHeight > kJpegEncoderMaxDimension) {
        return false;
    }
    // 64-bit arithmetic: neither the stride nor the pixel area can overflow here.
    const std::uint64_t rowBytes = vexol::platform::DibRowBytes(std::uint64_t(header.biWidth), 24);
    if (rowBytes * std::uint64_t(header.biHeight) > kJpegEncoderMaxPixelBytes) {
        return false;
    }
    stride = int(rowBytes);
    return true;
}

DWORD Compress(const void* packedDib, JPEGHANDLE* handle, const JpegEncodeParams& params)
{
    BITMAPINFOHEADER header;
    std::memcpy(&header, packedDib, sizeof header); // the DIB need not be aligned
    int stride = 0;
    if (!CheckDib(header, stride)) {
        return JPEGENC_ERR_BAD_DIB;
    }
    const int subsampling = SubsamplingFor(params.nFactorX, params.nFactorY);
    if (params.nWidth != header.biWidth || params.nHeight != header.biHeight || subsampling < 0 ||
        params.nCompression < 0 || params.nCompression > 99 || params.nReserved != 0) {
        return JPEGENC_ERR_BAD_PARAMS;
    }

    tjhandle compressor = t_compressor.Get();
    if (compressor == nullptr) {
        return JPEGENC_ERR_ENCODER;
    }
    // The rows go to the encoder as they lie in the DIB: bottom-up, BGR, padded stride.
    const auto* pixels = static_cast<const unsigned char*>(packedDib) + sizeof header;
    // One buffer of the largest size the picture can take: the encoder never has to grow
    // it (each growth is a new block and a copy), and only the pages it writes are used.
    const unsigned long capacity = tjBufSize(header.biWidth, header.biHeight, subsampling);
    if (capacity == static_cast<unsigned long>(-1) || capacity > unsigned(INT_MAX)) {
        return JPEGENC_ERR_ENCODER;
    }
    TjBuffer data(tjAlloc(int(capacity)));
    if (!data) {
        return JPEGENC_ERR_OUT_OF_MEMORY;
    }
    unsigned char* jpeg = data.get();
    unsigned long jpegSize = capacity;
    const int rc = tjCompress2(compressor, pixels, header.biWidth, stride, header.biHeight,
                               TJPF_BGR, &jpeg, &jpegSize, subsampling, 100 - params.nCompression,
                               TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC);
    if (rc != 0 || jpeg != data.get() || jpegSize == 0) {
        return JPEGENC_ERR_ENCODER;
    }

    auto image = std::make_shared<EncodedImage>();
    image->params = params;
    image->data = std::move(data);
    image->size = jpegSize;
    const JPEGHANDLE newHandle = Results().Add(std::move(image));
    if (newHandle == 0) {
        return JPEGENC_ERR_OUT_OF_MEMORY;
    }
    *handle = newHandle;
    return JPEGENC_OK;
}

} // namespace

DWORD JpegEncoderCompress(const void* packedDib, JPEGHANDLE* handle, const JpegEncodeParams* params)
{
    if (packedDib == nullptr || handle == nullptr || params == nullptr) {
        return JPEGENC_ERR_NULL_ARGUMENT;
    }
    *handle = 0;
    // Nothing may escape a library entry; allocation failures become a result.
    try {
        return Compress(packedDib, handle, *params);
    } catch (const std::bad_alloc&) {
        return JPEGENC_ERR_OUT_OF_MEMORY;
    } catch (...) {
        return JPEGENC_ERR_ENCODER;
    }
}

DWORD JpegEncoderWriteFile(const char* path, JPEGHANDLE handle, const JpegEncodeParams* params)
{
    if (path == nullptr || params == nullptr) {
        return JPEGENC_ERR_NULL_ARGUMENT;
    }
    try {
        // The result is held by reference while the file is written, outside the lock,
        // so a concurrent free of the same handle cannot pull the data away.
        const std::shared_ptr<const EncodedImage> image = Results().Find(handle);
        if (image == nullptr) {
            return JPEGENC_ERR_UNKNOWN_HANDLE;
        }
        if (!SameRecord(*params, image->params)) {
            return JPEGENC_ERR_BAD_PARAMS;
        }
        if (!vexol::platform::AtomicFile::WriteAll(path, image->data.get(), image->size)) {
            return JPEGENC_ERR_WRITE_FILE;
        }
        return JPEGENC_OK;
    } catch (const std::bad_alloc&) {
        return JPEGENC_ERR_OUT_OF_MEMORY;
    } catch (...) {
        return JPEGENC_ERR_WRITE_FILE;
    }
}

DWORD JpegEncoderFree(JPEGHANDLE* handle)
{
    if (handle == nullptr) {
        return JPEGENC_ERR_NULL_ARGUMENT;
    }
    const JPEGHANDLE value = *handle;
    *handle = 0;
    if (value == 0) {
        return JPEGENC_OK;
    }
    return Results().Remove(value) ? JPEGENC_OK : JPEGENC_ERR_UNKNOWN_HANDLE;
}

std::size_t JpegEncoderLiveResults()
{
    return Results().Count();
}
