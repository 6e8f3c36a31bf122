// A private registry hive for one test: points VEXOL_REGISTRY at a file in a fresh
// temporary folder and restores the previous setting (and removes the folder) when
// it goes out of scope.
#pragma once

#include <string>
#include <string_view>

namespace vexol::test {

class TempRegistry
{
public:
    TempRegistry();
    ~TempRegistry();
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    const std::string& Folder() const { return m_folder; }
    const std::string& HivePath() const { return m_hivePath; }

    // The hive file's bytes; empty when it does not exist.
    std::string ReadHive() const;
    // Replaces the hive file with `bytes`.
    void WriteHive(std::string_view bytes) const;
    bool HiveExists() const;

    // Reads a whole file as text; empty when it cannot.
    static std::string ReadText(const std::string& path);
    // Writes a whole file (not atomically); false when it cannot.
    static bool WriteText(const std::string& path, std::string_view bytes);

private:
    std::string m_folder;
    std::string m_hivePath;
    std::string m_previous;
    bool m_hadPrevious = false;
};

} // namespace vexol::test
