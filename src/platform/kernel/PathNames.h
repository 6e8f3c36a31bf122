// Path names as the application handles them: the C library's split into drive,
// folder, name and extension, the full path of a name, the repair of a doubled
// separator right after the root, and the folder that holds a path on disk.
//
// Paths are POSIX paths ('/' separates, the folder part ends with the last '/'). A path
// in drive form ("C:\cap\x.avi") or network form ("\\server\share\x.avi") is also
// understood, with '\' and '/' as separators, so that names written for the other
// family of systems are split the same way; a POSIX name may contain '\' as an
// ordinary character.
#pragma once

#include <string>
#include <string_view>

namespace vexol::platform::kernel {

struct PathParts
{
    std::string drive;     // "C:" in drive form, else empty
    std::string directory; // up to and including the last separator, else empty
    std::string name;      // the file name without its extension
    std::string extension; // from the file name's last '.' on, else empty

    // Drive and directory: the folder a file dialog opens in.
    std::string Folder() const { return drive + directory; }
    // Name and extension: the file name without its folder.
    std::string FileName() const { return name + extension; }
};

// Splits `path` the way the C library's path split does.
PathParts SplitPath(std::string_view path);

// True for the drive and network forms ("C:...", "\\...").
bool IsDriveForm(std::string_view path);

// Removes one of two separators that follow the root directly: "C:\\x" becomes
// "C:\x" and "//x" becomes "/x". Any other path comes back unchanged.
std::string RemoveDoubledSeparatorAfterRoot(std::string_view path);

// The absolute form of `path`: a relative name is taken from the current folder, and
// ".", ".." and repeated separators are folded without following links. Empty for an
// empty path or when the current folder cannot be read.
std::string FullPathName(std::string_view path);

// The nearest existing folder that holds `path` (the path itself when it is a folder):
// the place to ask about the volume of a file that may not exist yet. Empty when no
// ancestor exists (only for a relative name whose current folder is gone).
std::string NearestExistingFolder(std::string_view path);

} // namespace vexol::platform::kernel
