// Free disk space: the volume query of the platform and the free space of the volume
// that holds a path, in kilobytes of 1,024 bytes.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>

// Sectors per cluster, bytes per sector, free and total clusters of the volume that
// holds `rootPath` (any existing path on the volume stands for its root). The free
// clusters are those the calling user may take. Counts beyond 32 bits are cut to
// 0xFFFFFFFF. FALSE, with nothing written, when the volume cannot be asked.
BOOL GetDiskFreeSpaceA(const char* rootPath, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                       DWORD* freeClusters, DWORD* totalClusters);

namespace vexol::platform::kernel {

// Largest free space FreeDiskSpaceKB reports: more does not fit its 32-bit result.
inline constexpr LONG kMaxFreeSpaceKB = 0x7FFFFFFF;

// clusterBytes × freeClusters in kilobytes, rounded to the nearest (an exact half goes
// up), at most kMaxFreeSpaceKB.
LONG FreeClustersToKB(DWORD clusterBytes, DWORD freeClusters);

// The free space of the volume that holds `path`, which need not exist yet (its
// nearest existing folder is asked); -1 when the volume cannot be asked.
LONG FreeDiskSpaceKB(const char* path);

} // namespace vexol::platform::kernel
