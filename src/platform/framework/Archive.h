// A binary archive over a QIODevice: objects store themselves into it or load
// themselves from it. Numbers are little-endian 32-bit words; blocks are raw bytes.
//
// Failures are sticky: the first short read or short write marks the archive failed,
// every later operation does nothing and returns false, and Failed() reports it. So a
// Serialize routine may read its fields one after the other and check once at the end;
// a value that could not be read is left as zero.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <memory>

class QIODevice;
class CObject;

class CArchive
{
public:
    enum Mode { store = 0, load = 1 };

    // The device must be open for writing (store) or reading (load) and outlive the
    // archive. A null or unopened device gives an archive that has already failed.
    CArchive(QIODevice* device, Mode mode);
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsStoring() const { return m_mode == store; }
    bool IsLoading() const { return m_mode == load; }
    bool Failed() const { return m_failed; }
    // Marks the archive failed, e.g. when loaded data is inconsistent.
    void SetFailed() { m_failed = true; }

    // Writes `size` bytes; false (and failed) unless all were written.
    bool Write(const void* data, std::size_t size);
    // Reads exactly `size` bytes; false (and failed) on a short read. The buffer is
    // zero-filled when the read fails.
    bool Read(void* data, std::size_t size);

    bool WriteDword(DWORD value);
    bool ReadDword(DWORD& value);
    bool WriteLong(LONG value) { return WriteDword(DWORD(value)); }
    bool ReadLong(LONG& value);

    CArchive& operator<<(DWORD value)
    {
        WriteDword(value);
        return *this;
    }
    CArchive& operator<<(LONG value)
    {
        WriteLong(value);
        return *this;
    }
    CArchive& operator>>(DWORD& value)
    {
        ReadDword(value);
        return *this;
    }
    CArchive& operator>>(LONG& value)
    {
        ReadLong(value);
        return *this;
    }

    // Stores an object with its class name and schema, so that ReadObject can
    // recreate it. False when `object` is null or a write fails.
    bool WriteObject(const CObject* object);
    // Recreates an object stored by WriteObject: the class is looked up by name and
    // must have the same schema. Null (and failed) when the class is unknown, the
    // schema differs or the object's data cannot be read.
    std::unique_ptr<CObject> ReadObject();

private:
    QIODevice* m_device;
    Mode m_mode;
    bool m_failed;
};
