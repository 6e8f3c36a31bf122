// Run-time class records: each serialisable class has one record with its name, its
// schema number and a factory, so that an archive can recreate an object by name.
#pragma once

#include "platform/WinTypes.h"

#include <memory>

class CArchive;
class CObject;

struct CRuntimeClass
{
    // Registers the record for lookup by name until it is destroyed. Records are
    // static objects, one per class.
    CRuntimeClass(const char* className, UINT schema, CObject* (*factory)());
    ~CRuntimeClass();
    CRuntimeClass(const CRuntimeClass&) = delete;
    CRuntimeClass& operator=(const CRuntimeClass&) = delete;

    // A new object of this class; null for a class that cannot be created.
    std::unique_ptr<CObject> CreateObject() const;

    // The registered record named `className`, or null.
    static const CRuntimeClass* FromName(const char* className);
    // A new object of the class named `className`; null when unknown or not creatable.
    static std::unique_ptr<CObject> CreateObject(const char* className);

    const char* const m_lpszClassName;
    const UINT m_wSchema;
    CObject* (*const m_pfnCreateObject)();
};

// Root of the classes that carry a run-time class record.
class CObject
{
public:
    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const;
    // Stores the object into, or loads it from, `ar`. The root has no data.
    virtual void Serialize(CArchive& ar);

    // True when this object's class is `runtimeClass`.
    bool IsKindOf(const CRuntimeClass* runtimeClass) const
    {
        return GetRuntimeClass() == runtimeClass;
    }

    static const CRuntimeClass classCObject;

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};
