#include "platform/capture/AviWriter.h"

#include "platform/FileTarget.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

namespace vexol::platform::capture {

using namespace avi;

namespace {

// Entries per standard index chunk. Each checkpoint rewrites the current chunk with
// all entries of its slot, so this bounds both the rewrite cost and the slot count.
constexpr std::size_t kStdIndexEntries = 1024;
// With syncs at checkpoints, writing back to the disk is started for every this many
// bytes of new data, so that the disk works while the data arrives; and no more than
// the window is left on its way to the disk, so that a checkpoint's sync (and the last
// one, when the recording ends) waits only for that much.
constexpr std::uint64_t kWritebackStep = std::uint64_t(4) << 20;
constexpr std::uint64_t kWritebackWindow = std::uint64_t(32) << 20;
// Largest RIFF part: its size field is 32 bits.
constexpr std::uint64_t kMaxRiff = 0xFFFFFF00u;

DWORD Clamp32(std::uint64_t v)
{
    return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : DWORD(v);
}

// Bytes of colour table or masks that follow the BITMAPINFOHEADER in strf.
std::uint64_t ColourTableBytes(const BITMAPINFOHEADER& h)
{
    if (h.biBitCount <= 8 &&
        (h.biCompression == BI_RGB || h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4)) {
        const std::uint64_t full = std::uint64_t(1) << h.biBitCount;
        const std::uint64_t used =
            h.biClrUsed != 0 ? std::min<std::uint64_t>(h.biClrUsed, full) : full;
        return used * sizeof(RGBQUAD);
    }
    if (h.biCompression == BI_BITFIELDS) {
        return 3 * sizeof(DWORD);
    }
    return 0;
}

AviResult BadFormat(const char* what)
{
    return AviResult::Fail(ERROR_INVALID_PARAMETER,
                           std::string("The capture format cannot be recorded: ") + what + ".");
}

} // namespace

AviWriter::~AviWriter()
{
    Close();
}

bool AviWriter::IsOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_fd >= 0;
}

bool AviWriter::IsIndexFull() const
{
    std::lock_guard lock(m_mutex);
    return m_indexFull;
}

AviResult AviWriter::Error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

AviSummary AviWriter::Summary() const
{
    std::lock_guard lock(m_mutex);
    return SummaryLocked();
}

AviSummary AviWriter::SummaryLocked() const
{
    AviSummary summary;
    if (m_streams.empty()) {
        return summary;
    }
    const Stream& video = m_streams[0];
    summary.framesCaptured = Clamp32(video.chunks);
    summary.framesDropped = m_dropped;
    summary.videoBytes = video.bytes;
    summary.videoMilliseconds = Clamp32(video.ticks * m_microSecPerFrame / 1000);
    if (m_hasAudio) {
        const Stream& audio = m_streams[1];
        summary.audioBytes = audio.bytes;
        summary.audioBlocks = audio.ticks;
        summary.audioMilliseconds = Clamp32(audio.ticks * 1000 / m_wfx.nSamplesPerSec);
    }
    summary.movieBytes = m_pos;
    summary.fileRoom = m_reservedEnd > m_pos ? m_reservedEnd - m_pos : 0;
    summary.riffParts = DWORD(m_riffs.size());
    return summary;
}

void AviWriter::Reset()
{
    m_fd = -1;
    m_videoFormat.clear();
    m_audioFormat.clear();
    m_hasAudio = false;
    m_streams.clear();
    m_riffs.clear();
    m_idx1.clear();
    m_riff0Frames = 0;
    m_riff0HasIdx1 = false;
    m_pos = 0;
    m_writebackFrom = 0;
    m_writtenBack = 0;
    m_originalSize = 0;
    m_reservedEnd = 0;
    m_canReserve = true;
    m_entries = 0;
    m_indexFull = false;
    m_dropped = 0;
    m_audioCarry.clear();
    m_error = {};
}

AviResult AviWriter::Configure(const AviStreamFormats& formats, const AviWriterOptions& options)
{
    if (m_fd >= 0) {
        return AviResult::Fail(ERROR_INVALID_PARAMETER, "The capture file is already open.");
    }
    Reset();

    // Video format: the header, then the colour table or masks it calls for.
    if (formats.video.size() < sizeof(BITMAPINFOHEADER)) {
        return BadFormat("the video format is too short");
    }
    std::memcpy(&m_bih, formats.video.data(), sizeof m_bih);
    if (m_bih.biSize < sizeof(BITMAPINFOHEADER) || m_bih.biSize > formats.video.size()) {
        return BadFormat("the video format header size is wrong");
    }
    if (m_bih.biWidth <= 0 || m_bih.biHeight == 0 || m_bih.biWidth > 0x7FFF ||
        m_bih.biHeight > 0x7FFF || m_bih.biHeight < -0x7FFF) {
        return BadFormat("the frame size is not usable");
    }
    if (m_bih.biCompression == BI_RGB && m_bih.biBitCount != 1 && m_bih.biBitCount != 4 &&
        m_bih.biBitCount != 8 && m_bih.biBitCount != 16 && m_bih.biBitCount != 24 &&
        m_bih.biBitCount != 32) {
        return BadFormat("the bit depth is not supported");
    }
    const std::uint64_t formatBytes = m_bih.biSize + ColourTableBytes(m_bih);
    if (formatBytes > formats.video.size()) {
        return BadFormat("the colour table is missing");
    }
    m_videoFormat.assign(formats.video.begin(), formats.video.begin() + long(formatBytes));
    if (formats.microSecPerFrame == 0) {
        return BadFormat("the frame period is zero");
    }
    m_microSecPerFrame = formats.microSecPerFrame;

    // Audio format: WAVEFORMATEX and its cbSize extra bytes; plain PCM may come as the
    // 16-byte record without cbSize.
    if (!formats.audio.empty()) {
        if (formats.audio.size() < 16) {
            return BadFormat("the audio format is too short");
        }
        std::memset(&m_wfx, 0, sizeof m_wfx);
        std::memcpy(&m_wfx, formats.audio.data(), std::min(formats.audio.size(), sizeof m_wfx));
        if (formats.audio.size() < sizeof m_wfx) {
            m_wfx.cbSize = 0;
        }
        if (formats.audio.size() >= sizeof m_wfx &&
            formats.audio.size() < sizeof m_wfx + m_wfx.cbSize) {
            return BadFormat("the audio format's extra bytes are missing");
        }
        if (m_wfx.nChannels == 0 || m_wfx.nSamplesPerSec == 0 || m_wfx.nAvgBytesPerSec == 0 ||
            m_wfx.nBlockAlign == 0) {
            return BadFormat("the audio format is not usable");
        }
        m_audioFormat.resize(sizeof m_wfx + m_wfx.cbSize);
        std::memcpy(m_audioFormat.data(), &m_wfx, sizeof m_wfx);
        if (m_wfx.cbSize > 0) {
            std::memcpy(m_audioFormat.data() + sizeof m_wfx, formats.audio.data() + sizeof m_wfx,
                        m_wfx.cbSize);
        }
        m_hasAudio = true;
    }

    m_options = options;
    if (m_options.maxIndexEntries == 0) {
        m_options.maxIndexEntries = AviWriterOptions::kDefaultMaxIndexEntries;
    }
    m_options.maxIndexEntries =
        std::min(m_options.maxIndexEntries, AviWriterOptions::kMaxIndexEntries);
    m_options.riffLimit = std::clamp<std::uint64_t>(m_options.riffLimit, 1024, kMaxRiff);
    // Slots: one per full standard index chunk, plus one per RIFF part a stream
    // appears in; a part holds at least one chunk, hence the bound by the entries.
    const std::size_t entries = m_options.maxIndexEntries;
    m_superSlots =
        (entries + kStdIndexEntries - 1) / kStdIndexEntries + std::min<std::size_t>(entries, 256);

    m_streams.resize(m_hasAudio ? 2 : 1);
    m_streams[0].chunkId = kVideoChunk;
    m_streams[0].indexId = kVideoIndex;
    if (m_hasAudio) {
        m_streams[1].chunkId = kAudioChunk;
        m_streams[1].indexId = kAudioIndex;
    }

    return AviResult::Success();
}

AviResult AviWriter::Open(const std::string& path, const AviStreamFormats& formats,
                          const AviWriterOptions& options)
{
    std::lock_guard lock(m_mutex);
    if (AviResult r = Configure(formats, options); !r.Ok()) {
        return r;
    }
    // The file is opened without following a link, refused when it is no regular file
    // or lies on a kernel pseudo file system, and locked against a second writer for as
    // long as this writer has it open.
    LockedFile file;
    bool created = false;
    if (const FileCheck check = LockedFile::OpenForWriting(path, file, &created); !check.Ok()) {
        Reset();
        return AviResult::FromCheck(check, texts::FileAction::OpenCaptureFile, true);
    }
    return Start(file.Release(), created ? path : std::string());
}

AviResult AviWriter::CheckFormats(const AviStreamFormats& formats)
{
    AviWriter writer;
    std::lock_guard lock(writer.m_mutex);
    return writer.Configure(formats, {});
}

AviResult AviWriter::OpenDescriptor(int fd, const AviStreamFormats& formats,
                                    const AviWriterOptions& options)
{
    std::lock_guard lock(m_mutex);
    if (AviResult r = Configure(formats, options); !r.Ok()) {
        return r;
    }
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) {
        const int error = errno;
        Reset();
        return AviResult::FromErrno(error, texts::FileAction::OpenCaptureFile);
    }
    return Start(own, std::string());
}

AviResult AviWriter::Start(int fd, const std::string& removeOnFailure)
{
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        Reset();
        return AviResult::FromErrno(error, texts::FileAction::OpenCaptureFile);
    }
    m_fd = fd;
    m_originalSize = std::uint64_t(st.st_size);
    m_reservedEnd = m_originalSize;
    // The previous recording's bytes become zeros without giving up their blocks, so
    // that no reader can mistake old chunks for new ones (a metadata operation where
    // the file system supports it; skipped where it does not).
    if (m_originalSize > 0 &&
        ::fallocate(fd, FALLOC_FL_ZERO_RANGE | FALLOC_FL_KEEP_SIZE, 0, off_t(m_originalSize)) !=
            0 &&
        errno == EOPNOTSUPP &&
        ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, 0, off_t(m_originalSize)) ==
            0) {
        (void)::fallocate(fd, 0, 0, off_t(m_originalSize)); // blocks back, as zeros
    }

    m_riffs.push_back(Riff{});
    m_headerSize = BuildHeader().size();
    m_riffs[0].moviList = m_headerSize - kListHeader;
    m_pos = m_headerSize;
    m_writebackFrom = m_pos;
    m_writtenBack = m_pos;
    m_lastCheckpoint = std::chrono::steady_clock::now();
    if (!EnsureSpace(m_pos + IndexReserve(1)) || !WriteHeader()) {
        AviResult error = m_error;
        ::close(m_fd);
        if (!removeOnFailure.empty()) {
            ::unlink(removeOnFailure.c_str());
        }
        Reset();
        return error;
    }
    return AviResult::Success();
}

AviResult AviWriter::ReserveAhead(std::uint64_t bytes)
{
    std::lock_guard lock(m_mutex);
    if (m_fd < 0 || !m_error.Ok()) {
        return m_error.Ok() ? AviResult::FromErrno(EBADF, texts::FileAction::WriteCaptureFile)
                            : m_error;
    }
    const std::uint64_t end = m_pos + kChunkHeader + Padded(bytes) + IndexReserve(1);
    if (!EnsureSpace(end)) {
        return AviResult::FromErrno(errno, texts::FileAction::StartRecording);
    }
    if (!m_canReserve && end > m_reservedEnd) {
        // No fallocate here: writing zeros where the data will go proves the room.
        const std::vector<std::uint8_t> zeros(std::size_t(end - m_pos));
        if (!WriteAt(m_pos, zeros.data(), zeros.size())) {
            return AviResult::FromErrno(errno, texts::FileAction::StartRecording);
        }
        m_reservedEnd = end;
    }
    return AviResult::Success();
}

void AviWriter::Fail(int error, texts::FileAction action)
{
    if (m_error.Ok()) {
        m_error = AviResult::FromErrno(error == 0 ? EIO : error, action);
    }
}

bool AviWriter::WriteAt(std::uint64_t offset, const void* data, std::size_t size)
{
    iovec iov{const_cast<void*>(data), size};
    return WriteVectorAt(offset, &iov, 1, size);
}

bool AviWriter::WriteVectorAt(std::uint64_t offset, const iovec* iov, int count, std::size_t total)
{
    iovec local[8];
    count = std::min(count, 8);
    std::copy(iov, iov + count, local);
    iovec* cur = local;
    std::size_t left = total;
    while (left > 0) {
        const ssize_t n = ::pwritev(m_fd, cur, count, off_t(offset));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        offset += std::uint64_t(n);
        left -= std::size_t(n);
        std::size_t done = std::size_t(n);
        while (count > 0 && done >= cur->iov_len) {
            done -= cur->iov_len;
            ++cur;
            --count;
        }
        if (count > 0) {
            cur->iov_base = static_cast<char*>(cur->iov_base) + done;
            cur->iov_len -= done;
        }
    }
    return true;
}

bool AviWriter::EnsureSpace(std::uint64_t end)
{
    if (end <= m_reservedEnd || !m_canReserve) {
        return true;
    }
    // Reserve a good step ahead; near a full disk or a size limit, just what is needed.
    const std::uint64_t targets[2] = {end + m_options.growStep, end};
    int error = 0;
    for (const std::uint64_t target : targets) {
        if (::fallocate(m_fd, 0, off_t(m_reservedEnd), off_t(target - m_reservedEnd)) == 0) {
            m_reservedEnd = target;
            return true;
        }
        error = errno;
        if (error == EOPNOTSUPP || error == ENOSYS) {
            m_canReserve = false; // writes then meet a full disk themselves
            return true;
        }
        if (error != ENOSPC && error != EDQUOT && error != EFBIG) {
            break;
        }
    }
    errno = error;
    return false;
}

std::uint64_t AviWriter::IndexReserve(std::size_t extraEntries) const
{
    std::uint64_t bytes = 0;
    for (const Stream& s : m_streams) {
        const std::size_t n = s.pending.size() + extraEntries;
        if (n > 0) {
            bytes += kChunkHeader + kStdIndexHeader + n * kStdIndexEntry;
        }
    }
    if (m_riffs.size() == 1) {
        bytes += kChunkHeader + (m_idx1.size() / kIdx1Entry + extraEntries) * kIdx1Entry;
    }
    return bytes;
}

AviWrite AviWriter::WriteVideoFrame(const void* data, DWORD size, bool keyFrame)
{
    std::lock_guard lock(m_mutex);
    if (size > 0 && data == nullptr) {
        return AviWrite::Failed;
    }
    return WriteChunk(0, data, size, nullptr, 0, keyFrame && size > 0, 1);
}

AviWrite AviWriter::WriteDroppedFrame()
{
    std::lock_guard lock(m_mutex);
    const AviWrite result = WriteChunk(0, nullptr, 0, nullptr, 0, false, 1);
    if (result == AviWrite::Written) {
        ++m_dropped;
    }
    return result;
}

AviWrite AviWriter::WriteAudio(const void* data, DWORD size)
{
    std::lock_guard lock(m_mutex);
    if (m_fd < 0 || !m_hasAudio || (size > 0 && data == nullptr)) {
        return AviWrite::Failed;
    }
    if (!m_error.Ok()) {
        return AviWrite::Failed;
    }
    if (m_indexFull) {
        return AviWrite::IndexFull;
    }
    // Only whole sample frames go into a chunk; the rest waits for the next call.
    const std::uint64_t align = m_wfx.nBlockAlign;
    const std::uint64_t total = m_audioCarry.size() + std::uint64_t(size);
    const std::uint64_t whole =
        std::min<std::uint64_t>(total - total % align, 0xFFFFFF00u / align * align);
    if (whole == 0) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        m_audioCarry.insert(m_audioCarry.end(), bytes, bytes + size);
        return AviWrite::Written;
    }
    const DWORD prefix = DWORD(m_audioCarry.size());
    const DWORD fromData = DWORD(whole - prefix);
    const AviWrite result =
        WriteChunk(1, data, fromData, m_audioCarry.data(), prefix, true, whole / align);
    if (result == AviWrite::Written) {
        const auto* rest = static_cast<const std::uint8_t*>(data) + fromData;
        m_audioCarry.assign(rest, rest + (size - fromData));
    }
    return result;
}

std::size_t AviWriter::SlotsAvailable(const Stream& s) const
{
    return s.super.size() < m_superSlots ? m_superSlots - s.super.size() : 0;
}

AviWrite AviWriter::WriteChunk(int stream, const void* data, DWORD size, const void* prefix,
                               DWORD prefixSize, bool keyFrame, std::uint64_t ticks)
{
    if (m_fd < 0 || !m_error.Ok()) {
        return AviWrite::Failed;
    }
    if (m_indexFull) {
        return AviWrite::IndexFull;
    }
    const std::uint64_t payload = std::uint64_t(prefixSize) + size;
    if (payload > 0xFFFFFF00u) {
        return AviWrite::Failed;
    }
    const std::uint64_t chunkBytes = kChunkHeader + Padded(payload);
    if (!EnsureRiffRoom(chunkBytes)) {
        return AviWrite::Failed;
    }
    Stream& s = m_streams[std::size_t(stream)];
    if (s.pending.empty() && SlotsAvailable(s) == 0) {
        m_indexFull = true;
        return AviWrite::IndexFull;
    }
    if (!EnsureSpace(m_pos + chunkBytes + IndexReserve(1))) {
        Fail(errno, texts::FileAction::WriteCaptureFile);
        return AviWrite::Failed;
    }

    std::uint8_t header[8];
    Put32(header, s.chunkId);
    Put32(header + 4, DWORD(payload));
    static const std::uint8_t pad = 0;
    iovec iov[4];
    int count = 0;
    iov[count++] = {header, sizeof header};
    if (prefixSize > 0) {
        iov[count++] = {const_cast<void*>(prefix), prefixSize};
    }
    if (size > 0) {
        iov[count++] = {const_cast<void*>(data), size};
    }
    if (payload & 1) {
        iov[count++] = {const_cast<std::uint8_t*>(&pad), 1};
    }
    if (!WriteVectorAt(m_pos, iov, count, std::size_t(chunkBytes))) {
        Fail(errno, texts::FileAction::WriteCaptureFile);
        return AviWrite::Failed;
    }

    const Riff& riff = m_riffs.back();
    if (s.pending.empty()) {
        s.riffBase = riff.start;
    }
    s.pending.push_back(
        StdEntry{m_pos + kChunkHeader, DWORD(payload) | (keyFrame ? 0 : kStdIndexDeltaFrame)});
    s.pendingTicks += ticks;
    s.dirty = true;
    ++s.chunks;
    s.bytes += payload;
    s.ticks += ticks;
    s.maxChunk = std::max(s.maxChunk, DWORD(payload));
    if (m_riffs.size() == 1) {
        std::uint8_t entry[kIdx1Entry];
        Put32(entry, s.chunkId);
        Put32(entry + 4, keyFrame ? kAviifKeyFrame : 0);
        Put32(entry + 8, DWORD(m_pos - (riff.moviList + 8)));
        Put32(entry + 12, DWORD(payload));
        m_idx1.insert(m_idx1.end(), entry, entry + sizeof entry);
        if (stream == 0) {
            ++m_riff0Frames;
        }
    }
    m_pos += chunkBytes;
    if (++m_entries >= m_options.maxIndexEntries) {
        m_indexFull = true;
    }
    StartWriteback();

    if (s.pending.size() >= kStdIndexEntries) {
        // The slot is full: its standard index becomes final.
        if (!WriteStdIndex(s)) {
            return AviWrite::Written; // the chunk is in; the error stops further writes
        }
        s.slotOpen = false;
        s.pending.clear();
        s.pendingTicks = 0;
    }
    MaybeCheckpoint();
    return AviWrite::Written;
}

bool AviWriter::EnsureRiffRoom(std::uint64_t chunkBytes)
{
    const Riff& riff = m_riffs.back();
    const std::uint64_t used = m_pos - riff.start - kChunkHeader;
    const bool empty = m_pos == riff.moviList + kListHeader;
    if (empty || used + chunkBytes + IndexReserve(1) <= m_options.riffLimit) {
        return true;
    }
    return CloseRiff() && StartAviX();
}

bool AviWriter::WriteStdIndex(Stream& s)
{
    const std::size_t n = s.pending.size();
    std::vector<std::uint8_t> chunk;
    chunk.reserve(kChunkHeader + kStdIndexHeader + n * kStdIndexEntry);
    ByteSink out(chunk);
    out.U32(s.indexId);
    out.U32(DWORD(kStdIndexHeader + n * kStdIndexEntry));
    out.U16(2); // longs per entry
    out.U8(0);  // sub type
    out.U8(kIndexOfChunks);
    out.U32(DWORD(n));
    out.U32(s.chunkId);
    out.U64(s.riffBase);
    out.U32(0);
    for (const StdEntry& e : s.pending) {
        out.U32(DWORD(e.offset - s.riffBase));
        out.U32(e.size);
    }
    if (!EnsureSpace(m_pos + chunk.size()) || !WriteAt(m_pos, chunk.data(), chunk.size())) {
        Fail(errno, texts::FileAction::WriteIndex);
        return false;
    }
    const SuperEntry entry{m_pos, DWORD(chunk.size()), Clamp32(s.pendingTicks)};
    if (s.slotOpen) {
        s.super.back() = entry;
    } else {
        s.super.push_back(entry);
        s.slotOpen = true;
    }
    s.dirty = false;
    m_pos += chunk.size();
    return true;
}

bool AviWriter::CloseSlots()
{
    for (Stream& s : m_streams) {
        if (s.dirty && !WriteStdIndex(s)) {
            return false;
        }
        s.slotOpen = false;
        s.pending.clear();
        s.pendingTicks = 0;
    }
    return true;
}

bool AviWriter::CloseRiff()
{
    if (!CloseSlots()) {
        return false;
    }
    Riff& riff = m_riffs.back();
    riff.moviEnd = m_pos;
    if (m_riffs.size() == 1) {
        std::vector<std::uint8_t> chunk;
        ByteSink out(chunk);
        out.U32(kIdx1);
        out.U32(DWORD(m_idx1.size()));
        out.Bytes(m_idx1.data(), m_idx1.size());
        if (!EnsureSpace(m_pos + chunk.size()) || !WriteAt(m_pos, chunk.data(), chunk.size())) {
            Fail(errno, texts::FileAction::WriteIndex);
            return false;
        }
        m_pos += chunk.size();
        m_riff0HasIdx1 = true;
        m_idx1.clear();
        m_idx1.shrink_to_fit();
        riff.end = m_pos;
        return true;
    }
    riff.end = m_pos;
    std::uint8_t header[24];
    Put32(header, kRiff);
    Put32(header + 4, DWORD(riff.end - riff.start - kChunkHeader));
    Put32(header + 8, kAviX);
    Put32(header + 12, kList);
    Put32(header + 16, DWORD(riff.moviEnd - riff.moviList - kChunkHeader));
    Put32(header + 20, kMovi);
    if (!WriteAt(riff.start, header, sizeof header)) {
        Fail(errno, texts::FileAction::WriteCaptureFile);
        return false;
    }
    return true;
}

bool AviWriter::StartAviX()
{
    std::uint8_t header[24];
    Put32(header, kRiff);
    Put32(header + 4, 16);
    Put32(header + 8, kAviX);
    Put32(header + 12, kList);
    Put32(header + 16, 4);
    Put32(header + 20, kMovi);
    if (!EnsureSpace(m_pos + sizeof header + IndexReserve(1)) ||
        !WriteAt(m_pos, header, sizeof header)) {
        Fail(errno, texts::FileAction::WriteCaptureFile);
        return false;
    }
    Riff riff;
    riff.start = m_pos;
    riff.moviList = m_pos + 12;
    m_riffs.push_back(riff);
    m_pos += sizeof header;
    return true;
}

void AviWriter::StartWriteback()
{
    if (!m_options.syncOnCheckpoint || m_pos < m_writebackFrom + kWritebackStep) {
        return;
    }
    // The data goes to the disk in the background; older data beyond the window is
    // waited for, which holds the writer to the disk's pace. This is flow control only:
    // the checkpoints' syncs keep the file safe, also where the file system cannot do it.
    (void)::sync_file_range(m_fd, off_t(m_writebackFrom), off_t(m_pos - m_writebackFrom),
                            SYNC_FILE_RANGE_WRITE);
    m_writebackFrom = m_pos;
    if (m_pos > m_writtenBack + kWritebackWindow) {
        const std::uint64_t until = m_pos - kWritebackWindow;
        (void)::sync_file_range(m_fd, off_t(m_writtenBack), off_t(until - m_writtenBack),
                                SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                    SYNC_FILE_RANGE_WAIT_AFTER);
        m_writtenBack = until;
    }
}

void AviWriter::MaybeCheckpoint()
{
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastCheckpoint >= m_options.checkpointInterval) {
        Checkpoint(m_options.syncOnCheckpoint);
    }
}

bool AviWriter::Checkpoint(bool sync)
{
    m_lastCheckpoint = std::chrono::steady_clock::now();
    if (m_fd < 0 || !m_error.Ok()) {
        return false;
    }
    // Index chunks for the new entries, in this part when they and the final index
    // still fit below the RIFF limit, else the part is closed and the next begun.
    std::uint64_t indexBytes = 0;
    for (const Stream& s : m_streams) {
        if (s.dirty) {
            indexBytes += kChunkHeader + kStdIndexHeader + s.pending.size() * kStdIndexEntry;
        }
    }
    if (indexBytes > 0) {
        const Riff& riff = m_riffs.back();
        const std::uint64_t used = m_pos - riff.start - kChunkHeader;
        if (used + indexBytes + IndexReserve(0) > m_options.riffLimit) {
            if (!CloseRiff() || !StartAviX()) {
                return false;
            }
        } else {
            if (!EnsureSpace(m_pos + indexBytes + IndexReserve(0))) {
                Fail(errno, texts::FileAction::WriteCaptureFile);
                return false;
            }
            for (Stream& s : m_streams) {
                if (s.dirty && !WriteStdIndex(s)) {
                    return false;
                }
            }
        }
    }
    // The data and its index reach the disk before the header points at them.
    if (sync && ::fdatasync(m_fd) != 0) {
        Fail(errno, texts::FileAction::WriteCaptureFile);
        return false;
    }
    return WriteHeader();
}

bool AviWriter::WriteHeader()
{
    const std::vector<std::uint8_t> header = BuildHeader();
    if (!WriteAt(0, header.data(), header.size())) {
        Fail(errno, texts::FileAction::WriteHeader);
        return false;
    }
    const Riff& riff = m_riffs.back();
    if (m_riffs.size() > 1 && riff.end == 0) {
        std::uint8_t sizes[4];
        Put32(sizes, DWORD(m_pos - riff.start - kChunkHeader));
        std::uint8_t moviSize[4];
        Put32(moviSize, DWORD(m_pos - riff.moviList - kChunkHeader));
        if (!WriteAt(riff.start + 4, sizes, 4) || !WriteAt(riff.moviList + 4, moviSize, 4)) {
            Fail(errno, texts::FileAction::WriteHeader);
            return false;
        }
    }
    return true;
}

AviResult AviWriter::Flush()
{
    std::lock_guard lock(m_mutex);
    if (m_fd < 0) {
        return AviResult::Fail(ERROR_INVALID_HANDLE, "The capture file is not open.");
    }
    Checkpoint(m_options.syncOnCheckpoint);
    return m_error;
}

std::vector<std::uint8_t> AviWriter::BuildHeader() const
{
    std::vector<std::uint8_t> h;
    ByteSink out(h);
    const Stream* video = m_streams.empty() ? nullptr : &m_streams[0];
    const Stream* audio = m_hasAudio ? &m_streams[1] : nullptr;
    const std::uint64_t videoFrames = video ? video->ticks : 0;

    const Riff& riff0 = m_riffs.front();
    const std::uint64_t riff0End = riff0.end != 0 ? riff0.end : m_pos;
    const std::uint64_t movi0End = riff0.end != 0 ? riff0.moviEnd : m_pos;

    out.U32(kRiff);
    out.U32(Clamp32(riff0End >= 8 ? riff0End - 8 : 4));
    out.U32(kAvi);
    out.U32(kList);
    const std::size_t hdrlSize = out.Size();
    out.U32(0);
    out.U32(kHdrl);

    // avih
    const DWORD videoMax = video ? video->maxChunk : 0;
    const DWORD audioMax = audio ? audio->maxChunk : 0;
    std::uint64_t maxBytesPerSec = std::uint64_t(videoMax) * 1000000 / m_microSecPerFrame;
    if (m_hasAudio) {
        maxBytesPerSec += m_wfx.nAvgBytesPerSec;
    }
    out.U32(kAvih);
    out.U32(DWORD(kMainHeaderSize));
    out.U32(m_microSecPerFrame);
    out.U32(Clamp32(maxBytesPerSec));
    out.U32(0); // padding granularity
    out.U32(kAvifHasIndex | kAvifTrustCkType | (m_hasAudio ? kAvifIsInterleaved : 0));
    out.U32(Clamp32(m_riff0Frames));
    out.U32(0); // initial frames
    out.U32(m_hasAudio ? 2 : 1);
    out.U32(std::max(videoMax, audioMax));
    out.U32(DWORD(m_bih.biWidth));
    out.U32(DWORD(m_bih.biHeight < 0 ? -m_bih.biHeight : m_bih.biHeight));
    out.Zeros(16);

    auto streamList = [&](const Stream* s, bool isVideo) {
        const std::vector<std::uint8_t>& format = isVideo ? m_videoFormat : m_audioFormat;
        out.U32(kList);
        const std::size_t strlSize = out.Size();
        out.U32(0);
        out.U32(kStrl);
        out.U32(kStrh);
        out.U32(DWORD(kStreamHeaderSize));
        if (isVideo) {
            const DWORD divisor = std::gcd(m_microSecPerFrame, DWORD(1000000));
            out.U32(kVids);
            out.U32(m_bih.biCompression <= 0xFF ? kDib : m_bih.biCompression);
            out.U32(0);                            // flags
            out.U32(0);                            // priority, language
            out.U32(0);                            // initial frames
            out.U32(m_microSecPerFrame / divisor); // scale
            out.U32(1000000 / divisor);            // rate
            out.U32(0);                            // start
            out.U32(Clamp32(videoFrames));
            out.U32(s ? s->maxChunk : 0);
            out.U32(0xFFFFFFFFu); // quality: default
            out.U32(0);           // sample size: varies
            out.U16(0);
            out.U16(0);
            out.U16(std::uint16_t(m_bih.biWidth));
            out.U16(std::uint16_t(m_bih.biHeight < 0 ? -m_bih.biHeight : m_bih.biHeight));
        } else {
            out.U32(kAuds);
            out.U32(0);
            out.U32(0);
            out.U32(0);
            out.U32(0);
            out.U32(m_wfx.nBlockAlign);     // scale: one sample frame
            out.U32(m_wfx.nAvgBytesPerSec); // rate
            out.U32(0);
            out.U32(Clamp32(s ? s->ticks : 0));
            out.U32(s ? s->maxChunk : 0);
            out.U32(0xFFFFFFFFu);
            out.U32(m_wfx.nBlockAlign);
            out.Zeros(8);
        }
        out.U32(kStrf);
        out.U32(DWORD(format.size()));
        out.Bytes(format.data(), format.size());
        if (format.size() & 1) {
            out.U8(0);
        }
        // OpenDML super index with room for every slot.
        out.U32(kIndx);
        out.U32(DWORD(kSuperIndexHeader + m_superSlots * kSuperIndexEntry));
        out.U16(4); // longs per entry
        out.U8(0);
        out.U8(kIndexOfIndexes);
        const std::size_t used = s ? s->super.size() : 0;
        out.U32(DWORD(used));
        out.U32(isVideo ? kVideoChunk : kAudioChunk);
        out.Zeros(12);
        for (std::size_t i = 0; i < used; ++i) {
            out.U64(s->super[i].offset);
            out.U32(s->super[i].size);
            out.U32(s->super[i].duration);
        }
        out.Zeros((m_superSlots - used) * kSuperIndexEntry);
        out.Patch32(strlSize, DWORD(out.Size() - strlSize - 4));
    };
    streamList(video, true);
    if (m_hasAudio) {
        streamList(audio, false);
    }

    out.U32(kList);
    out.U32(DWORD(4 + kChunkHeader + kDmlhSize));
    out.U32(kOdml);
    out.U32(kDmlh);
    out.U32(DWORD(kDmlhSize));
    out.U32(Clamp32(videoFrames));
    out.Zeros(kDmlhSize - 4);
    out.Patch32(hdrlSize, DWORD(out.Size() - hdrlSize - 4));

    out.U32(kList);
    // movi size: from after this size field to the end of the movie data.
    out.U32(Clamp32(movi0End - (out.Size() + 4)));
    out.U32(kMovi);
    return h;
}

AviResult AviWriter::Close()
{
    std::lock_guard lock(m_mutex);
    if (m_fd < 0) {
        return m_error;
    }
    // Finalise whatever was written: even after an error, the index goes into the
    // reserved space so every chunk already in the file stays playable. A failure
    // here leaves the header as at the last checkpoint, which is still consistent.
    const AviResult before = m_error;
    m_error = {};
    // The last part may already be closed when starting the next one failed.
    bool ok = m_riffs.back().end != 0 || CloseRiff();
    if (ok && m_options.syncOnCheckpoint && ::fdatasync(m_fd) != 0) {
        Fail(errno, texts::FileAction::WriteCaptureFile);
        ok = false;
    }
    if (ok) {
        ok = WriteHeader();
    }
    // The rest of the allocation stays allocated, covered by one JUNK chunk.
    const std::uint64_t end = m_pos;
    if (ok && m_originalSize >= end + kChunkHeader) {
        std::uint8_t junk[8];
        Put32(junk, kJunk);
        Put32(junk + 4, Clamp32(m_originalSize - end - kChunkHeader));
        ok = WriteAt(end, junk, sizeof junk);
        if (!ok) {
            Fail(errno, texts::FileAction::WriteCaptureFile);
        }
    }
    if (ok) {
        // Give back the space reserved beyond the movie and the allocation.
        const std::uint64_t finalSize = std::max(end, m_originalSize);
        if (::ftruncate(m_fd, off_t(finalSize)) != 0 ||
            (m_options.syncOnCheckpoint && ::fdatasync(m_fd) != 0)) {
            Fail(errno, texts::FileAction::WriteCaptureFile);
        }
    }
    if (::close(m_fd) != 0) {
        Fail(errno, texts::FileAction::WriteCaptureFile);
    }
    m_fd = -1;
    if (!before.Ok()) {
        m_error = before;
    }
    return m_error;
}

} // namespace vexol::platform::capture
