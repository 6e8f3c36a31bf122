// Parses arbitrary bytes as a hive. Whatever parses, whole or in part, must serialise
// to text that parses back completely to an equal hive and serialises to the same text
// again; unreadable text leaves the hive empty.
#include "platform/registry/Hive.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using vexol::platform::registry::Hive;
    using vexol::platform::registry::HiveParse;
    Hive hive;
    hive.Create(vexol::platform::registry::RootKey::LocalMachine,
                std::vector<std::string>{"Stale"}); // Parse must replace it
    const HiveParse outcome =
        hive.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (outcome == HiveParse::Unreadable) {
        if (!(hive == Hive())) {
            std::fprintf(stderr, "an unreadable text left keys behind\n");
            std::abort();
        }
        return 0;
    }
    const std::string text = hive.Serialise();
    Hive again;
    if (again.Parse(text) != HiveParse::Complete) {
        std::fprintf(stderr, "serialised hive does not parse:\n%s\n", text.c_str());
        std::abort();
    }
    if (!(again == hive)) {
        std::fprintf(stderr, "round trip changed the hive:\n%s\n", text.c_str());
        std::abort();
    }
    if (again.Serialise() != text) {
        std::fprintf(stderr, "serialising is not stable:\n%s\n", text.c_str());
        std::abort();
    }
    return 0;
}
