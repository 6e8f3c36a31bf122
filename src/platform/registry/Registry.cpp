#include "platform/registry/Registry.h"

#include "platform/registry/HiveFile.h"

#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

using vexol::platform::registry::Hive;
using vexol::platform::registry::kMaxKeyDepth;
using vexol::platform::registry::ReadHive;
using vexol::platform::registry::RegistryKey;
using vexol::platform::registry::RegistryValue;
using vexol::platform::registry::RootKey;
using vexol::platform::registry::UpdateHiveFile;

namespace {

// What a handle stands for: a key path below a root.
struct OpenKey
{
    RootKey root = RootKey::LocalMachine;
    std::vector<std::string> path;
};

struct HandleTable
{
    std::mutex mutex; // guards entries and next
    std::unordered_map<std::uintptr_t, OpenKey> entries;
    // Handle values are never reused, so a stale handle stays invalid.
    std::uintptr_t next = 0x1000;
};

HandleTable& Handles()
{
    static HandleTable table;
    return table;
}

bool IsPredefined(HKEY key, RootKey& root)
{
    if (key == HKEY_LOCAL_MACHINE) {
        root = RootKey::LocalMachine;
        return true;
    }
    if (key == HKEY_CURRENT_USER) {
        root = RootKey::CurrentUser;
        return true;
    }
    return false;
}

bool Resolve(HKEY key, OpenKey& out)
{
    RootKey root;
    if (IsPredefined(key, root)) {
        out = OpenKey{root, {}};
        return true;
    }
    HandleTable& table = Handles();
    const std::lock_guard lock(table.mutex);
    const auto it = table.entries.find(reinterpret_cast<std::uintptr_t>(key));
    if (it == table.entries.end()) {
        return false;
    }
    out = it->second;
    return true;
}

HKEY AddHandle(OpenKey key)
{
    HandleTable& table = Handles();
    const std::lock_guard lock(table.mutex);
    std::uintptr_t value = table.next;
    table.next += 4;
    RootKey unused;
    while (IsPredefined(reinterpret_cast<HKEY>(value), unused) || value == 0) {
        value = table.next;
        table.next += 4;
    }
    table.entries.emplace(value, std::move(key));
    return reinterpret_cast<HKEY>(value);
}

bool HasLineBreak(std::string_view name)
{
    return name.find_first_of("\r\n") != std::string_view::npos;
}

// Splits a backslash-separated key path and appends its names to `path`. One trailing
// backslash is accepted; a leading one, an empty or overlong name or a line break is not.
LONG AppendSubKeyPath(const char* subKey, std::vector<std::string>& path)
{
    if (!subKey || !*subKey) {
        return LONG(ERROR_SUCCESS);
    }
    std::string_view rest(subKey);
    if (rest.back() == '\\') {
        rest.remove_suffix(1);
    }
    for (;;) {
        const std::size_t slash = rest.find('\\');
        const std::string_view name = rest.substr(0, slash);
        if (name.empty() || name.size() > kMaxKeyNameLength || HasLineBreak(name)) {
            return LONG(ERROR_INVALID_PARAMETER);
        }
        path.emplace_back(name);
        if (slash == std::string_view::npos) {
            return LONG(ERROR_SUCCESS);
        }
        rest.remove_prefix(slash + 1);
    }
}

// Runs a registry call, turning an escaping exception into a result code.
template <class Call> LONG Guarded(Call call)
{
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return LONG(ERROR_NOT_ENOUGH_MEMORY);
    } catch (const std::exception&) {
        return LONG(ERROR_BADDB);
    }
}

LONG OpenOrCreate(HKEY key, const char* subKey, HKEY* result, bool create)
{
    if (result) {
        *result = nullptr;
    }
    OpenKey base;
    if (!Resolve(key, base)) {
        return LONG(ERROR_INVALID_HANDLE);
    }
    if (!result) {
        return LONG(ERROR_INVALID_PARAMETER);
    }
    OpenKey target = base;
    if (const LONG r = AppendSubKeyPath(subKey, target.path); r != LONG(ERROR_SUCCESS)) {
        return r;
    }
    if (target.path.size() > kMaxKeyDepth) {
        return LONG(ERROR_INVALID_PARAMETER); // the hive could not be read back
    }
    enum class Found { Target, Base, Neither };
    Found found = Found::Neither;
    const LONG read = ReadHive([&](const Hive& hive) {
        found = hive.Find(target.root, target.path) ? Found::Target
                : hive.Find(base.root, base.path)   ? Found::Base
                                                    : Found::Neither;
        return LONG(ERROR_SUCCESS);
    });
    if (read == LONG(ERROR_SUCCESS) && found == Found::Target) {
        *result = AddHandle(std::move(target)); // exists: nothing to write
        return LONG(ERROR_SUCCESS);
    }
    if (!create) {
        if (read != LONG(ERROR_SUCCESS)) {
            return read;
        }
        return found == Found::Base ? LONG(ERROR_FILE_NOT_FOUND) : LONG(ERROR_KEY_DELETED);
    }
    const LONG r = UpdateHiveFile([&](Hive& current, bool& changed) {
        if (!current.Find(base.root, base.path)) {
            return LONG(ERROR_KEY_DELETED);
        }
        current.Create(target.root, target.path, &changed);
        return LONG(ERROR_SUCCESS);
    });
    if (r == LONG(ERROR_SUCCESS)) {
        *result = AddHandle(std::move(target));
    }
    return r;
}

} // namespace

LONG RegOpenKeyA(HKEY key, const char* subKey, HKEY* result)
{
    return Guarded([&] { return OpenOrCreate(key, subKey, result, false); });
}

LONG RegCreateKeyA(HKEY key, const char* subKey, HKEY* result)
{
    return Guarded([&] { return OpenOrCreate(key, subKey, result, true); });
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* cbData)
{
    return Guarded([&] {
        OpenKey open;
        if (!Resolve(key, open)) {
            return LONG(ERROR_INVALID_HANDLE);
        }
        if (reserved || (data && !cbData)) {
            return LONG(ERROR_INVALID_PARAMETER);
        }
        return ReadHive([&](const Hive& hive) {
            const RegistryKey* found = hive.Find(open.root, open.path);
            if (!found) {
                return LONG(ERROR_KEY_DELETED);
            }
            const RegistryValue* value = found->FindValue(valueName ? valueName : "");
            if (!value) {
                return LONG(ERROR_FILE_NOT_FOUND);
            }
            if (type) {
                *type = value->type;
            }
            const DWORD size = DWORD(value->data.size());
            if (data) {
                if (*cbData < size) {
                    *cbData = size;
                    return LONG(ERROR_MORE_DATA);
                }
                if (size > 0) {
                    std::memcpy(data, value->data.data(), size);
                }
            }
            if (cbData) {
                *cbData = size;
            }
            return LONG(ERROR_SUCCESS);
        });
    });
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD /*reserved*/, DWORD type,
                    const BYTE* data, DWORD cbData)
{
    return Guarded([&] {
        OpenKey open;
        if (!Resolve(key, open)) {
            return LONG(ERROR_INVALID_HANDLE);
        }
        const std::string_view name = valueName ? valueName : "";
        if (name.size() > kMaxValueNameLength || HasLineBreak(name) || (!data && cbData > 0) ||
            cbData > kMaxValueDataSize) {
            return LONG(ERROR_INVALID_PARAMETER);
        }
        const std::vector<BYTE> bytes(data, data + (data ? cbData : 0));
        return UpdateHiveFile([&](Hive& hive, bool& changed) {
            RegistryKey* found = hive.Find(open.root, open.path);
            if (!found) {
                return LONG(ERROR_KEY_DELETED);
            }
            changed = found->SetValue(name, type, bytes);
            return LONG(ERROR_SUCCESS);
        });
    });
}

LONG RegCloseKey(HKEY key)
{
    RootKey root;
    if (IsPredefined(key, root)) {
        return LONG(ERROR_SUCCESS);
    }
    HandleTable& table = Handles();
    const std::lock_guard lock(table.mutex);
    return table.entries.erase(reinterpret_cast<std::uintptr_t>(key)) == 1
               ? LONG(ERROR_SUCCESS)
               : LONG(ERROR_INVALID_HANDLE);
}

namespace vexol::platform::registry {

std::size_t OpenKeyHandleCount()
{
    HandleTable& table = Handles();
    const std::lock_guard lock(table.mutex);
    return table.entries.size();
}

} // namespace vexol::platform::registry
