#include "platform/framework/RuntimeClass.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

struct ClassRegistry
{
    std::mutex mutex; // guards `classes`
    std::vector<const CRuntimeClass*> classes;
};

ClassRegistry& Registry()
{
    static ClassRegistry registry;
    return registry;
}

} // namespace

CRuntimeClass::CRuntimeClass(const char* className, UINT schema, CObject* (*factory)())
    : m_lpszClassName(className), m_wSchema(schema), m_pfnCreateObject(factory)
{
    ClassRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    registry.classes.push_back(this);
}

CRuntimeClass::~CRuntimeClass()
{
    ClassRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    std::erase(registry.classes, this);
}

std::unique_ptr<CObject> CRuntimeClass::CreateObject() const
{
    return std::unique_ptr<CObject>(m_pfnCreateObject ? m_pfnCreateObject() : nullptr);
}

const CRuntimeClass* CRuntimeClass::FromName(const char* className)
{
    if (!className) {
        return nullptr;
    }
    ClassRegistry& registry = Registry();
    std::lock_guard lock(registry.mutex);
    const auto found =
        std::find_if(registry.classes.begin(), registry.classes.end(), [&](const CRuntimeClass* c) {
            return std::strcmp(c->m_lpszClassName, className) == 0;
        });
    return found == registry.classes.end() ? nullptr : *found;
}

std::unique_ptr<CObject> CRuntimeClass::CreateObject(const char* className)
{
    const CRuntimeClass* runtimeClass = FromName(className);
    return runtimeClass ? runtimeClass->CreateObject() : nullptr;
}

const CRuntimeClass CObject::classCObject{"CObject", 0xFFFF, nullptr};

const CRuntimeClass* CObject::GetRuntimeClass() const
{
    return &classCObject;
}

void CObject::Serialize(CArchive&) {}
