// Parses arbitrary bytes as a hive. Whatever parses must serialise to text that parses
// back to an equal hive and serialises to the same text again.
#include "platform/registry/Hive.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using vexol::platform::registry::Hive;
    Hive hive;
    if (!hive.Parse(std::string_view(reinterpret_cast<const char*>(data), size))) {
        if (!(hive == Hive())) {
            std::fprintf(stderr, "a refused text left keys behind\n");
            std::abort();
        }
        return 0;
    }
    const std::string text = hive.Serialise();
    Hive again;
    if (!again.Parse(text)) {
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
