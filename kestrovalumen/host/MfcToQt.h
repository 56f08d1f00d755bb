// Strings and arrays (host library MfcToQt): the classic 8-bit string and pointer arrays.
#pragma once

#include "kestrovalumen/host/hostapi.h"

#include <string>

namespace FF {
namespace utils {
class IBuffer;
}
} // namespace FF

//! The host's 8-bit string. Bytes are kept as given; the module reads them zero-terminated.
class KV_HOST_API CString {
public:
    CString();
    CString(const char* text);
    CString(const char* bytes, int count);
    CString(const CString& other);
    CString(CString&& other) noexcept;
    ~CString();

    CString& operator=(const char* text);
    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;
    CString& operator+=(const char* text);
    CString& operator+=(const CString& other);
    friend KV_HOST_API CString operator+(const char* left, const CString& right);
    friend KV_HOST_API CString operator+(const CString& left, const CString& right);

    //! Replaces the content with printf-style formatted text.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    //! Index of the first occurrence of text, or -1.
    int Find(const char* text) const;
    //! The first count bytes (all when count exceeds the length, none when negative).
    CString Left(int count) const;
    //! The last count bytes.
    CString Right(int count) const;
    //! Removes count bytes from index on; returns the new length.
    int Delete(int index, int count = 1);
    //! Upper-cases ASCII letters; other bytes stay.
    void MakeUpper();

    int GetLength() const { return static_cast<int>(m_text.size()); }
    const char* GetString() const { return m_text.c_str(); }
    operator const char*() const { return m_text.c_str(); }
    const std::string& str() const { return m_text; }

    //! Reads one string in the host's stream form. False when the length prefix is cut off;
    //! throws FF::utils::deserialize_block_error when the length runs past the stream.
    bool deserialize(FF::utils::IBuffer* buffer);

private:
    std::string m_text;
};

//! Array of object pointers; entries are not owned. The first few entries sit inside the array
//! itself: a drawing object's few animations are then read where the object is, not from a
//! block that may lie anywhere in the heap.
class KV_HOST_API CObArray {
public:
    CObArray();
    ~CObArray();
    CObArray(const CObArray&) = delete;
    CObArray& operator=(const CObArray&) = delete;

    //! Resizes to count entries; new entries are null. A negative count empties the array.
    //! growBy sets the growth step (-1 keeps the current one).
    void SetSize(int count, int growBy = -1);
    int GetSize() const { return m_nSize; }
    void* GetAt(int index) const { return m_pData[index]; }
    void SetAt(int index, void* element) { m_pData[index] = element; }

private:
    static constexpr int kInline = 4;

    //! Frees a heap block (not the inline entries).
    void Release();

    void** m_pData; //!< null, m_inline or a heap block of m_nMaxSize entries
    int m_nSize;
    int m_nMaxSize;
    int m_nGrowBy;
    void* m_inline[kInline];
};

//! Array of CString.
class KV_HOST_API CStringArray {
public:
    CStringArray();
    ~CStringArray();
    CStringArray(const CStringArray&) = delete;
    CStringArray& operator=(const CStringArray&) = delete;

    //! Resizes to count entries; new entries are empty. A negative count empties the array.
    void SetSize(int count, int growBy = -1);
    int GetSize() const { return m_nSize; }
    CString& operator[](int index) { return m_pData[index]; }
    const CString& operator[](int index) const { return m_pData[index]; }

private:
    CString* m_pData;
    int m_nSize;
    int m_nMaxSize;
    int m_nGrowBy;
};
