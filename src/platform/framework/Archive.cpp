#include "platform/framework/Archive.h"

#include "platform/framework/RuntimeClass.h"

#include <QIODevice>
#include <cstring>
#include <string>

namespace {

// Longest class name an archive may carry; longer names are treated as bad data.
constexpr DWORD kMaxClassName = 255;

} // namespace

CArchive::CArchive(QIODevice* device, Mode mode)
    : m_device(device), m_mode(mode),
      m_failed(!device || !(mode == store ? device->isWritable() : device->isReadable()))
{
}

bool CArchive::Write(const void* data, std::size_t size)
{
    if (m_failed || m_mode != store || (size > 0 && !data)) {
        m_failed = true;
        return false;
    }
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const qint64 written = m_device->write(p, qint64(size));
        if (written <= 0) {
            m_failed = true;
            return false;
        }
        p += written;
        size -= std::size_t(written);
    }
    return true;
}

bool CArchive::Read(void* data, std::size_t size)
{
    if (size > 0 && !data) {
        m_failed = true;
        return false;
    }
    if (m_failed || m_mode != load) {
        m_failed = true;
        if (size > 0) {
            std::memset(data, 0, size);
        }
        return false;
    }
    char* p = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const qint64 got = m_device->read(p + done, qint64(size - done));
        if (got <= 0) {
            m_failed = true;
            std::memset(data, 0, size);
            return false;
        }
        done += std::size_t(got);
    }
    return true;
}

bool CArchive::WriteDword(DWORD value)
{
    const unsigned char bytes[4] = {BYTE(value), BYTE(value >> 8), BYTE(value >> 16),
                                    BYTE(value >> 24)};
    return Write(bytes, sizeof bytes);
}

bool CArchive::ReadDword(DWORD& value)
{
    unsigned char bytes[4];
    const bool ok = Read(bytes, sizeof bytes);
    value = DWORD(bytes[0]) | (DWORD(bytes[1]) << 8) | (DWORD(bytes[2]) << 16) |
            (DWORD(bytes[3]) << 24);
    return ok;
}

bool CArchive::ReadLong(LONG& value)
{
    DWORD word = 0;
    const bool ok = ReadDword(word);
    value = LONG(word);
    return ok;
}

bool CArchive::WriteObject(const CObject* object)
{
    if (!object) {
        m_failed = true;
        return false;
    }
    const CRuntimeClass* runtimeClass = object->GetRuntimeClass();
    const DWORD nameLength = DWORD(std::strlen(runtimeClass->m_lpszClassName));
    if (!WriteDword(nameLength) || !Write(runtimeClass->m_lpszClassName, nameLength) ||
        !WriteDword(runtimeClass->m_wSchema)) {
        return false;
    }
    const_cast<CObject*>(object)->Serialize(*this);
    return !m_failed;
}

std::unique_ptr<CObject> CArchive::ReadObject()
{
    DWORD nameLength = 0;
    if (!ReadDword(nameLength)) {
        return nullptr;
    }
    if (nameLength == 0 || nameLength > kMaxClassName) {
        m_failed = true;
        return nullptr;
    }
    std::string name(nameLength, '\0');
    DWORD schema = 0;
    if (!Read(name.data(), nameLength) || !ReadDword(schema)) {
        return nullptr;
    }
    const CRuntimeClass* runtimeClass = CRuntimeClass::FromName(name.c_str());
    std::unique_ptr<CObject> object =
        runtimeClass && runtimeClass->m_wSchema == schema ? runtimeClass->CreateObject() : nullptr;
    if (!object) {
        m_failed = true;
        return nullptr;
    }
    object->Serialize(*this);
    if (m_failed) {
        return nullptr;
    }
    return object;
}
