#include "support/RefusedTargets.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace vexol::test {

namespace {

std::vector<std::string> NamesIn(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                names.emplace_back(entry->d_name);
            }
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

mode_t TypeOf(const std::string& path)
{
    struct stat info
    {
    };
    return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & S_IFMT) : 0;
}

std::string LinkText(const std::string& path)
{
    char text[512] = {};
    const ssize_t n = ::readlink(path.c_str(), text, sizeof text - 1);
    return n > 0 ? std::string(text, std::size_t(n)) : std::string();
}

} // namespace

RefusedTargets::RefusedTargets(const std::string& folder) : m_folder(folder)
{
    const std::string base = folder + "/";
    std::ofstream(base + "victim.txt", std::ios::binary) << kVictimText;
    if (::mkfifo((base + "fifo.bmp").c_str(), 0600) == 0) {
        m_targets.push_back({"fifo", base + "fifo.bmp"});
    }
    if (::mkdir((base + "folder.bmp").c_str(), 0700) == 0) {
        m_targets.push_back({"folder", base + "folder.bmp"});
    }
    // The same device as /dev/full, made here so that nothing of the system is at risk.
    if (::mknod((base + "device.bmp").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) {
        m_targets.push_back({"device", base + "device.bmp"});
    }
    m_socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = base + "socket.bmp";
    if (m_socket >= 0 && socketPath.size() < sizeof address.sun_path) {
        std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            m_targets.push_back({"socket", socketPath});
        }
    }
    if (::symlink("victim.txt", (base + "link.bmp").c_str()) == 0) {
        m_targets.push_back({"link to a file", base + "link.bmp"});
    }
    if (::symlink("nothing-here.bmp", (base + "dangling.bmp").c_str()) == 0) {
        m_targets.push_back({"dangling link", base + "dangling.bmp"});
    }
    m_targets.push_back({"kernel file", "/proc/self/stat"});
    m_targets.push_back({"new kernel file", "/proc/self/vexol-test.bmp"});
    m_namesBefore = NamesIn(folder);
}

RefusedTargets::~RefusedTargets()
{
    if (m_socket >= 0) {
        ::close(m_socket);
    }
}

std::string RefusedTargets::Changes() const
{
    std::string changes;
    const std::string base = m_folder + "/";
    const std::pair<const char*, mode_t> types[] = {
        {"fifo.bmp", S_IFIFO},    {"folder.bmp", S_IFDIR}, {"device.bmp", S_IFCHR},
        {"socket.bmp", S_IFSOCK}, {"link.bmp", S_IFLNK},   {"dangling.bmp", S_IFLNK},
    };
    for (const auto& [name, type] : types) {
        const mode_t now = TypeOf(base + name);
        const bool made =
            std::find(m_namesBefore.begin(), m_namesBefore.end(), name) != m_namesBefore.end();
        if (made && now != type) {
            changes += std::string(name) + " is no longer what it was; ";
        }
    }
    if (ReadAll(base + "victim.txt") != kVictimText) {
        changes += "the victim file changed; ";
    }
    if (LinkText(base + "link.bmp") != "victim.txt" ||
        LinkText(base + "dangling.bmp") != "nothing-here.bmp") {
        changes += "a link was changed; ";
    }
    if (NamesIn(m_folder) != m_namesBefore) {
        changes += "the folder's names changed (a link's target made, a file left); ";
    }
    if (::access("/proc/self/vexol-test.bmp", F_OK) == 0) {
        changes += "a file appeared in /proc; ";
    }
    return changes;
}

} // namespace vexol::test
