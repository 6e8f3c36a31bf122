// The key tree: names, lookups, creation, comparison and destruction.
#include "platform/registry/Hive.h"

#include <algorithm>
#include <utility>

namespace vexol::platform::registry {

namespace {

constexpr std::string_view kCurrentUserName = "HKEY_CURRENT_USER";
constexpr std::string_view kLocalMachineName = "HKEY_LOCAL_MACHINE";

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

template <class Item>
std::vector<const Item*> SortedByName(const std::vector<std::unique_ptr<Item>>& items)
{
    std::vector<const Item*> sorted;
    sorted.reserve(items.size());
    for (const auto& item : items) {
        sorted.push_back(item.get());
    }
    std::sort(sorted.begin(), sorted.end(), [](const Item* a, const Item* b) {
        if constexpr (std::is_same_v<Item, RegistryKey>) {
            return NameLess(a->Name(), b->Name());
        } else {
            return NameLess(a->name, b->name);
        }
    });
    return sorted;
}

// Room for one more item, growing geometrically.
template <class Item> void ReserveOneMore(std::vector<Item>& items)
{
    if (items.size() == items.capacity()) {
        items.reserve(std::max<std::size_t>(4, items.size() * 2));
    }
}

} // namespace

bool NamesEqual(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

bool NameLess(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(AsciiLower(a[i]));
        const auto cb = static_cast<unsigned char>(AsciiLower(b[i]));
        if (ca != cb) {
            return ca < cb;
        }
    }
    return a.size() < b.size();
}

std::size_t NameHash::operator()(std::string_view name) const
{
    // FNV-1a over the folded bytes.
    std::size_t hash = 1469598103934665603ull;
    for (const char c : name) {
        hash ^= static_cast<unsigned char>(AsciiLower(c));
        hash *= 1099511628211ull;
    }
    return hash;
}

RegistryKey::RegistryKey(std::string name) : m_name(std::move(name)) {}

RegistryKey::~RegistryKey()
{
    // Each key taken off the stack hands its subkeys to the stack first, so it dies
    // without subkeys and no destructor reaches deeper than one level.
    std::vector<std::unique_ptr<RegistryKey>> pending = std::move(m_subkeys);
    while (!pending.empty()) {
        std::unique_ptr<RegistryKey> key = std::move(pending.back());
        pending.pop_back();
        key->m_subkeyIndex.clear();
        for (std::unique_ptr<RegistryKey>& subkey : key->m_subkeys) {
            pending.push_back(std::move(subkey));
        }
        key->m_subkeys.clear();
    }
}

std::vector<const RegistryValue*> RegistryKey::Values() const
{
    return SortedByName(m_values);
}

std::vector<const RegistryKey*> RegistryKey::Subkeys() const
{
    return SortedByName(m_subkeys);
}

const RegistryKey* RegistryKey::FindSubkey(std::string_view name) const
{
    const auto found = m_subkeyIndex.find(name);
    return found == m_subkeyIndex.end() ? nullptr : found->second;
}

RegistryKey* RegistryKey::FindSubkey(std::string_view name)
{
    return const_cast<RegistryKey*>(std::as_const(*this).FindSubkey(name));
}

RegistryKey& RegistryKey::CreateSubkey(std::string_view name, bool* created)
{
    if (RegistryKey* existing = FindSubkey(name)) {
        if (created) {
            *created = false;
        }
        return *existing;
    }
    ReserveOneMore(m_subkeys); // so the push below cannot throw after the insert
    auto key = std::make_unique<RegistryKey>(std::string(name));
    RegistryKey& added = *key;
    m_subkeyIndex.emplace(added.m_name, &added);
    m_subkeys.push_back(std::move(key));
    if (created) {
        *created = true;
    }
    return added;
}

const RegistryValue* RegistryKey::FindValue(std::string_view name) const
{
    const auto found = m_valueIndex.find(name);
    return found == m_valueIndex.end() ? nullptr : found->second;
}

bool RegistryKey::SetValue(std::string_view name, DWORD type, std::span<const BYTE> data)
{
    if (const auto found = m_valueIndex.find(name); found != m_valueIndex.end()) {
        RegistryValue& value = *found->second;
        if (value.type == type && std::ranges::equal(value.data, data)) {
            return false;
        }
        value.type = type;
        value.data.assign(data.begin(), data.end());
        return true;
    }
    ReserveOneMore(m_values);
    auto value = std::make_unique<RegistryValue>(
        RegistryValue{std::string(name), type, {data.begin(), data.end()}});
    m_valueIndex.emplace(value->name, value.get());
    m_values.push_back(std::move(value));
    return true;
}

Hive::Hive()
    : m_currentUser(std::make_unique<RegistryKey>(std::string(kCurrentUserName))),
      m_localMachine(std::make_unique<RegistryKey>(std::string(kLocalMachineName)))
{
}

RegistryKey& Hive::Root(RootKey root)
{
    return root == RootKey::LocalMachine ? *m_localMachine : *m_currentUser;
}

const RegistryKey& Hive::Root(RootKey root) const
{
    return root == RootKey::LocalMachine ? *m_localMachine : *m_currentUser;
}

const RegistryKey* Hive::Find(RootKey root, std::span<const std::string> path) const
{
    const RegistryKey* key = &Root(root);
    for (const std::string& name : path) {
        key = key->FindSubkey(name);
        if (!key) {
            return nullptr;
        }
    }
    return key;
}

RegistryKey* Hive::Find(RootKey root, std::span<const std::string> path)
{
    return const_cast<RegistryKey*>(std::as_const(*this).Find(root, path));
}

RegistryKey& Hive::Create(RootKey root, std::span<const std::string> path, bool* created)
{
    bool any = false;
    RegistryKey* key = &Root(root);
    for (const std::string& name : path) {
        bool added = false;
        key = &key->CreateSubkey(name, &added);
        any = any || added;
    }
    if (created) {
        *created = any;
    }
    return *key;
}

bool Hive::operator==(const Hive& other) const
{
    std::vector<std::pair<const RegistryKey*, const RegistryKey*>> pending = {
        {&Root(RootKey::LocalMachine), &other.Root(RootKey::LocalMachine)},
        {&Root(RootKey::CurrentUser), &other.Root(RootKey::CurrentUser)},
    };
    while (!pending.empty()) {
        const auto [a, b] = pending.back();
        pending.pop_back();
        if (a->Name() != b->Name() || a->ValueCount() != b->ValueCount() ||
            a->SubkeyCount() != b->SubkeyCount()) {
            return false;
        }
        const std::vector<const RegistryValue*> va = a->Values();
        const std::vector<const RegistryValue*> vb = b->Values();
        for (std::size_t i = 0; i < va.size(); ++i) {
            if (!(*va[i] == *vb[i])) {
                return false;
            }
        }
        const std::vector<const RegistryKey*> ka = a->Subkeys();
        const std::vector<const RegistryKey*> kb = b->Subkeys();
        for (std::size_t i = 0; i < ka.size(); ++i) {
            pending.emplace_back(ka[i], kb[i]);
        }
    }
    return true;
}

} // namespace vexol::platform::registry
