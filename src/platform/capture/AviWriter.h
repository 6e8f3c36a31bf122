// The capture file's writer: a RIFF AVI with one video stream and an optional PCM
// audio stream, written into the capture file from its start.
//
// Layout: RIFF 'AVI ' (hdrl with avih, one strl per stream holding strh, strf and an
// OpenDML super index 'indx' with room reserved for its entries, odml/dmlh; then
// LIST movi with '00dc' and '01wb' chunks and the standard index chunks 'ix00'/'ix01';
// then idx1), followed by RIFF 'AVIX' parts whenever a part would pass the RIFF limit
// (1 GiB). Dropped frames are zero-length '00dc' chunks, indexed, so time stays right.
//
// Crash safety: at every checkpoint (checked on each write, at least every
// `checkpointInterval` while data arrives; the caller calls Flush while none does) the writer
// appends standard index chunks for the new chunks, syncs the data, and only then rewrites the
// header: the super indexes and all RIFF and LIST sizes. Whatever lies beyond the sizes is ignored
// by readers, so a recording cut off at any moment leaves a file that plays up to its last
// checkpoint.
//
// Space: an existing (pre-allocated) file is written in place and never made shorter;
// after the movie, the rest of the allocation is covered by one top-level JUNK chunk.
// Past the allocation the writer reserves disk space ahead of the data, always keeping
// room for the final index, so a full disk ends the recording with every written frame
// indexed.
//
// Thread-safety: every member may be called from any thread; calls are serialised.
#pragma once

#include "platform/WinTypes.h"
#include "platform/capture/AviFormat.h"
#include "platform/capture/AviResult.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <sys/uio.h>
#include <vector>

namespace vexol::platform::capture {

struct AviStreamFormats
{
    // BITMAPINFOHEADER followed by its colour table (for 8 bits and less) or its three
    // masks (BI_BITFIELDS), as the driver reports the video format.
    std::vector<std::uint8_t> video;
    DWORD microSecPerFrame = 0;
    // WAVEFORMATEX (18 bytes plus cbSize; 16 bytes for plain PCM); empty: no audio.
    std::vector<std::uint8_t> audio;
};

struct AviWriterOptions
{
    // Most index entries (video frames, dropped ones included, plus audio chunks) the
    // recording may hold; 0 takes kDefaultMaxIndexEntries.
    DWORD maxIndexEntries = 0;
    // Largest size of one RIFF part before the next AVIX part begins.
    std::uint64_t riffLimit = std::uint64_t(1) << 30;
    // Longest time between checkpoints while data arrives.
    std::chrono::milliseconds checkpointInterval{500};
    // fdatasync before each header update (power-cut safety); off for tests of speed.
    bool syncOnCheckpoint = true;
    // Disk space reserved ahead of the data once the file outgrows its allocation.
    std::uint64_t growStep = std::uint64_t(64) << 20;

    static constexpr DWORD kDefaultMaxIndexEntries = 32768;
    static constexpr DWORD kMaxIndexEntries = 4u << 20;
};

enum class AviWrite {
    Written,   // the chunk is in the file and indexed
    IndexFull, // refused: the index holds maxIndexEntries entries
    Failed,    // refused: the writer has stopped after an error (see Error()), or the
               // call was invalid (not open, no audio stream, no data)
};

struct AviSummary
{
    DWORD framesCaptured = 0; // video index entries, dropped ones included
    DWORD framesDropped = 0;
    std::uint64_t videoBytes = 0;
    std::uint64_t audioBytes = 0;
    std::uint64_t audioBlocks = 0; // sample frames (nBlockAlign bytes each)
    DWORD videoMilliseconds = 0;   // from the frame count and the frame period
    DWORD audioMilliseconds = 0;   // from the sample count and the sample rate
    std::uint64_t movieBytes = 0;  // extent of the RIFF parts written so far
    std::uint64_t fileRoom = 0;    // allocated or reserved beyond movieBytes, not yet used
    DWORD riffParts = 0;
};

class AviWriter
{
public:
    AviWriter() = default;
    ~AviWriter(); // closes (finalises) an open file
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Opens or creates `path` and writes the initial header. The file must be a regular
    // file (no link, not on a kernel pseudo file system) that no other writer holds: it
    // stays locked until Close. Invalid formats give ERROR_INVALID_PARAMETER; a file in
    // use kErrorSharingViolation; other file errors their mapped codes.
    AviResult Open(const std::string& path, const AviStreamFormats& formats,
                   const AviWriterOptions& options = {});
    // Whether Open would accept these formats.
    static AviResult CheckFormats(const AviStreamFormats& formats);
    // The same into a file the caller has open (a temporary file); the writer works on
    // a duplicate of `fd` and closes only that.
    AviResult OpenDescriptor(int fd, const AviStreamFormats& formats,
                             const AviWriterOptions& options = {});
    // Reserves room for `bytes` of data more, with the index they need, so that a full
    // disk shows before the recording is reported as started.
    AviResult ReserveAhead(std::uint64_t bytes);

    AviWrite WriteVideoFrame(const void* data, DWORD size, bool keyFrame = true);
    // A frame the driver could not deliver: a zero-length chunk keeps the timing.
    AviWrite WriteDroppedFrame();
    // PCM bytes; a trailing part of a sample frame is kept for the next call.
    AviWrite WriteAudio(const void* data, DWORD size);

    // Checkpoint now: index chunks, sync, header.
    AviResult Flush();
    // Finalises the file (indexes, sizes, JUNK over the tail) and closes it. After a
    // write error it still finalises what was written and returns that error.
    AviResult Close();

    bool IsOpen() const;
    // True once no further chunk can be indexed; the recording should end.
    bool IsIndexFull() const;
    // The first error that stopped the writer (Ok while none).
    AviResult Error() const;
    AviSummary Summary() const;

private:
    struct StdEntry
    {
        std::uint64_t offset; // file offset of the chunk's data
        DWORD size;           // with kStdIndexDeltaFrame for non-key frames
    };
    struct SuperEntry
    {
        std::uint64_t offset; // file offset of the ix chunk
        DWORD size;           // whole ix chunk, header included
        DWORD duration;       // stream ticks covered
    };
    struct Stream
    {
        FOURCC chunkId = 0;
        FOURCC indexId = 0;
        std::vector<SuperEntry> super;
        bool slotOpen = false;         // super.back() is rewritten by the next ix chunk
        std::vector<StdEntry> pending; // entries of the current slot
        std::uint64_t pendingTicks = 0;
        std::uint64_t riffBase = 0; // base offset of the current slot's entries
        bool dirty = false;         // pending holds entries not yet in an ix chunk
        std::uint64_t chunks = 0;
        std::uint64_t bytes = 0;
        std::uint64_t ticks = 0; // frames, or audio sample frames
        DWORD maxChunk = 0;
    };
    struct Riff
    {
        std::uint64_t start = 0;    // offset of 'RIFF'
        std::uint64_t moviList = 0; // offset of the movi 'LIST'
        std::uint64_t end = 0;      // end of the part once closed
        std::uint64_t moviEnd = 0;  // end of movi once closed
    };

    AviWrite WriteChunk(int stream, const void* data, DWORD size, const void* prefix,
                        DWORD prefixSize, bool keyFrame, std::uint64_t ticks);
    bool EnsureRiffRoom(std::uint64_t chunkBytes);
    bool EnsureSpace(std::uint64_t end);
    std::uint64_t IndexReserve(std::size_t extraEntries) const;
    std::size_t SlotsAvailable(const Stream& s) const;
    bool WriteAt(std::uint64_t offset, const void* data, std::size_t size);
    bool WriteVectorAt(std::uint64_t offset, const iovec* iov, int count, std::size_t total);
    bool WriteStdIndex(Stream& s);
    bool CloseSlots();
    bool CloseRiff();
    bool StartAviX();
    bool Checkpoint(bool sync);
    bool WriteHeader();
    std::vector<std::uint8_t> BuildHeader() const;
    AviResult Configure(const AviStreamFormats& formats, const AviWriterOptions& options);
    AviResult Start(int fd, const std::string& removeOnFailure);
    void Fail(int error, texts::FileAction action);
    void MaybeCheckpoint();
    void StartWriteback();
    AviSummary SummaryLocked() const;
    void Reset();

    // Guards every member below: all calls are serialised on it.
    mutable std::mutex m_mutex;

    int m_fd = -1; // holds the flock of the capture file
    AviWriterOptions m_options;
    std::vector<std::uint8_t> m_videoFormat; // strf of the video stream
    std::vector<std::uint8_t> m_audioFormat; // strf of the audio stream
    BITMAPINFOHEADER m_bih{};
    WAVEFORMATEX m_wfx{};
    bool m_hasAudio = false;
    DWORD m_microSecPerFrame = 0;
    std::size_t m_superSlots = 0;   // entries reserved in each indx
    std::uint64_t m_headerSize = 0; // bytes before the first movi data
    std::vector<Stream> m_streams;
    std::vector<Riff> m_riffs;
    std::vector<std::uint8_t> m_idx1; // idx1 entries of the first RIFF
    std::uint64_t m_riff0Frames = 0;  // video chunks in the first RIFF
    bool m_riff0HasIdx1 = false;
    std::uint64_t m_pos = 0;          // end of the data written (next chunk offset)
    std::uint64_t m_writebackFrom = 0; // data from here on is not being written back yet
    std::uint64_t m_writtenBack = 0;   // data before this has been written out
    std::uint64_t m_originalSize = 0; // file length at Open: never made shorter
    std::uint64_t m_reservedEnd = 0;  // blocks reserved up to here
    bool m_canReserve = true;         // false when the file system has no fallocate
    std::uint64_t m_entries = 0;      // index entries used
    bool m_indexFull = false;
    DWORD m_dropped = 0;
    std::vector<std::uint8_t> m_audioCarry; // partial sample frame from the last call
    std::chrono::steady_clock::time_point m_lastCheckpoint;
    AviResult m_error;
};

} // namespace vexol::platform::capture
