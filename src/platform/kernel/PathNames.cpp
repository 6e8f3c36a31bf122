#include "platform/kernel/PathNames.h"

#include <cctype>
#include <filesystem>
#include <system_error>

namespace vexol::platform::kernel {

namespace {

bool HasDriveLetter(std::string_view path)
{
    return path.size() >= 2 && path[1] == ':' &&
           std::isalpha(static_cast<unsigned char>(path[0])) != 0;
}

} // namespace

bool IsDriveForm(std::string_view path)
{
    return HasDriveLetter(path) || path.starts_with("\\\\");
}

PathParts SplitPath(std::string_view path)
{
    PathParts parts;
    const bool driveForm = IsDriveForm(path);
    if (HasDriveLetter(path)) {
        parts.drive = std::string(path.substr(0, 2));
        path.remove_prefix(2);
    }
    const std::string_view separators = driveForm ? std::string_view("/\\") : std::string_view("/");
    const std::size_t lastSeparator = path.find_last_of(separators);
    if (lastSeparator != std::string_view::npos) {
        parts.directory = std::string(path.substr(0, lastSeparator + 1));
        path.remove_prefix(lastSeparator + 1);
    }
    const std::size_t dot = path.find_last_of('.');
    if (dot != std::string_view::npos) {
        parts.extension = std::string(path.substr(dot));
        path = path.substr(0, dot);
    }
    parts.name = std::string(path);
    return parts;
}

std::string RemoveDoubledSeparatorAfterRoot(std::string_view path)
{
    std::string result(path);
    if (HasDriveLetter(path)) {
        if (path.size() >= 4 && path[2] == '\\' && path[3] == '\\') {
            result.erase(3, 1);
        }
    } else if (path.size() >= 2 && path[0] == '/' && path[1] == '/') {
        result.erase(1, 1);
    }
    return result;
}

std::string FullPathName(std::string_view path)
{
    if (path.empty()) {
        return {};
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) {
        return {};
    }
    std::string full = absolute.lexically_normal().string();
    // A folder keeps no trailing separator unless it is the root.
    while (full.size() > 1 && full.back() == '/') {
        full.pop_back();
    }
    return full;
}

std::string NearestExistingFolder(std::string_view path)
{
    std::filesystem::path candidate = FullPathName(path);
    std::error_code error;
    while (!candidate.empty()) {
        if (std::filesystem::is_directory(candidate, error)) {
            return candidate.string();
        }
        if (candidate == candidate.root_path()) {
            break;
        }
        candidate = candidate.parent_path();
    }
    return {};
}

} // namespace vexol::platform::kernel
