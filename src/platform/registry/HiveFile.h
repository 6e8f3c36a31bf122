// The hive file: where it lives, and the locked reads and change transactions on it.
//
// Path: HivePath(). When that path is a symbolic link (dotfiles kept in a repository
// and linked), everything happens at the link's final target: it is read, replaced,
// locked ("<target>.lock") and moved aside there; the link itself stays as it is.
//
// Reads and changes take a flock on "<target>.lock" (shared for reads when the lock
// file exists, exclusive for changes). The parsed hive is kept in memory and read
// again only when the file's identity (device, inode, size, modification and change
// times) differs from the last read, so a second copy of the program still sees every
// change. Every change writes a temporary file and renames it over the hive (mode 0600
// for a new hive, missing folders 0700).
//
// Damage: a hive that is not a regular file is never read or written over. A hive
// larger than kMaxHiveFileSize, unreadable text or a key deeper than kMaxKeyDepth
// reads as empty; a hive with some unparsable lines reads as what parses. Either way
// the file is moved aside to "<target>.bad" (or .bad.1, .bad.2, ... so that no earlier
// copy is overwritten) at the first read, and what parsed is written back.
#pragma once

#include "platform/WinTypes.h"
#include "platform/registry/Hive.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vexol::platform::registry {

// Larger hive files are not read.
inline constexpr std::uint64_t kMaxHiveFileSize = std::uint64_t(16) << 20;

// The hive file: $VEXOL_REGISTRY when set and not empty, else
// $XDG_CONFIG_HOME/vexol/registry.reg (when that is an absolute path), else
// $HOME/.config/vexol/registry.reg. Read from the environment at each call. Empty
// when none of them is known.
std::string HivePath();

// Calls `use` with the current hive (empty when the file is missing, damaged beyond
// reading or too large) and returns its result. A file that exists but cannot be read
// (no permission, not a regular file) gives its error and `use` is not called.
LONG ReadHive(const std::function<LONG(const Hive& hive)>& use);

// One change transaction on the hive file. `change` gets the current hive and sets
// `changed` when it altered it; when it returns ERROR_SUCCESS with `changed` set, the
// hive is written back. Returns the result of `change`, or the write's error:
// ERROR_ACCESS_DENIED when the folder or file cannot be written (or the hive is not a
// regular file), ERROR_HANDLE_DISK_FULL, ERROR_NOT_ENOUGH_MEMORY when the hive would
// outgrow kMaxHiveFileSize, ERROR_WRITE_FAULT. A hive file that exists but cannot be
// read is never written over.
LONG UpdateHiveFile(const std::function<LONG(Hive& hive, bool& changed)>& change);

// How many times this process has parsed a hive file (diagnostics and tests).
std::uint64_t HiveParseCount();

} // namespace vexol::platform::registry
