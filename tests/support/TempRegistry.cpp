#include "support/TempRegistry.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/stat.h>
#include <vector>

namespace vexol::test {

TempRegistry::TempRegistry()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vexol-registry-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!::mkdtemp(name.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_folder = name.data();
    m_hivePath = m_folder + "/registry.reg";
    if (const char* previous = std::getenv("VEXOL_REGISTRY")) {
        m_previous = previous;
        m_hadPrevious = true;
    }
    ::setenv("VEXOL_REGISTRY", m_hivePath.c_str(), 1);
}

TempRegistry::~TempRegistry()
{
    if (m_hadPrevious) {
        ::setenv("VEXOL_REGISTRY", m_previous.c_str(), 1);
    } else {
        ::unsetenv("VEXOL_REGISTRY");
    }
    // Tests may have made folders read-only; make them removable again.
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(m_folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error)) {
            ::chmod(it->path().c_str(), 0700);
        }
    }
    ::chmod(m_folder.c_str(), 0700);
    std::filesystem::remove_all(m_folder, error);
}

std::string TempRegistry::ReadHive() const
{
    return ReadText(m_hivePath);
}

void TempRegistry::WriteHive(std::string_view bytes) const
{
    if (!WriteText(m_hivePath, bytes)) {
        throw std::runtime_error("cannot write " + m_hivePath);
    }
}

bool TempRegistry::HiveExists() const
{
    struct stat info
    {
    };
    return ::stat(m_hivePath.c_str(), &info) == 0;
}

std::string TempRegistry::ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempRegistry::WriteText(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out.flush());
}

} // namespace vexol::test
