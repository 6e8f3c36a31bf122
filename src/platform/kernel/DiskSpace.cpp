#include "platform/kernel/DiskSpace.h"

#include "platform/kernel/PathNames.h"

#include <algorithm>
#include <string>
#include <sys/statvfs.h>

namespace {

DWORD CutTo32Bits(std::uint64_t value)
{
    return DWORD(std::min<std::uint64_t>(value, 0xFFFFFFFFu));
}

} // namespace

BOOL GetDiskFreeSpaceA(const char* rootPath, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                       DWORD* freeClusters, DWORD* totalClusters)
{
    if (!rootPath || !*rootPath) {
        return FALSE;
    }
    struct statvfs volume
    {
    };
    if (::statvfs(rootPath, &volume) != 0 || volume.f_frsize == 0) {
        return FALSE;
    }
    // A cluster is the file system's fragment; sectors are 512 bytes where it divides.
    const std::uint64_t clusterBytes = volume.f_frsize;
    const bool inSectors = clusterBytes % 512 == 0;
    if (sectorsPerCluster) {
        *sectorsPerCluster = inSectors ? CutTo32Bits(clusterBytes / 512) : 1;
    }
    if (bytesPerSector) {
        *bytesPerSector = inSectors ? 512 : CutTo32Bits(clusterBytes);
    }
    if (freeClusters) {
        *freeClusters = CutTo32Bits(volume.f_bavail);
    }
    if (totalClusters) {
        *totalClusters = CutTo32Bits(volume.f_blocks);
    }
    return TRUE;
}

namespace vexol::platform::kernel {

LONG FreeClustersToKB(DWORD clusterBytes, DWORD freeClusters)
{
    const std::uint64_t bytes = std::uint64_t(clusterBytes) * freeClusters;
    const std::uint64_t kilobytes = (bytes + 512) / 1024;
    return LONG(std::min<std::uint64_t>(kilobytes, std::uint64_t(kMaxFreeSpaceKB)));
}

LONG FreeDiskSpaceKB(const char* path)
{
    const std::string folder = NearestExistingFolder(path ? path : "");
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusters = 0;
    DWORD totalClusters = 0;
    if (folder.empty() || !GetDiskFreeSpaceA(folder.c_str(), &sectorsPerCluster, &bytesPerSector,
                                             &freeClusters, &totalClusters)) {
        return -1;
    }
    // Clusters are at most a few megabytes, so their size fits 32 bits.
    return FreeClustersToKB(sectorsPerCluster * bytesPerSector, freeClusters);
}

} // namespace vexol::platform::kernel
