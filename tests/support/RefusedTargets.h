// Targets no writer may write through, made in a private folder: a FIFO, a folder, a
// character device node (where the system allows making one), a socket, a link to a
// victim file, a dangling link, and paths on the kernel's pseudo file system that
// cannot be written anyway (/proc/self/stat, a new name in /proc/self). Changes()
// tells afterwards whether any of them, the victim or the folder changed.
#pragma once

#include <string>
#include <vector>

namespace vexol::test {

struct RefusedTarget
{
    std::string label;
    std::string path;
};

class RefusedTargets
{
public:
    explicit RefusedTargets(const std::string& folder);
    ~RefusedTargets();
    RefusedTargets(const RefusedTargets&) = delete;
    RefusedTargets& operator=(const RefusedTargets&) = delete;

    const std::vector<RefusedTarget>& All() const { return m_targets; }
    // Empty when nothing changed; otherwise what did. Also refuses any file left in
    // the folder that was not there before (a temporary file, a link's new target).
    std::string Changes() const;

    static constexpr const char* kVictimText = "14 bytes file.";

private:
    std::string m_folder;
    std::vector<RefusedTarget> m_targets;
    std::vector<std::string> m_namesBefore;
    int m_socket = -1;
};

} // namespace vexol::test
