// Strings and arrays of the host (library MfcToQt).
#include "kestrovalumen/host/MfcToQt.h"
#include "kestrovalumen/host/utils.h"
#include "runtime/host/textformat.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

// ---- CString ----

CString::CString() = default;

CString::CString(const char* text) : m_text(text ? text : "") {}

CString::CString(const char* bytes, int count) {
    if (bytes && count > 0) {
        m_text.assign(bytes, static_cast<size_t>(count));
    }
}

CString::CString(const CString& other) = default;

CString::CString(CString&& other) noexcept = default;

CString::~CString() = default;

CString& CString::operator=(const char* text) {
    // The text may point into this string's own bytes.
    m_text = std::string(text ? text : "");
    return *this;
}

CString& CString::operator=(const CString& other) {
    m_text = other.m_text;
    return *this;
}

CString& CString::operator=(CString&& other) noexcept {
    m_text = std::move(other.m_text);
    return *this;
}

CString& CString::operator+=(const char* text) {
    if (text) {
        m_text += std::string(text);
    }
    return *this;
}

CString& CString::operator+=(const CString& other) {
    m_text += other.m_text;
    return *this;
}

CString operator+(const char* left, const CString& right) {
    CString result(left);
    result += right;
    return result;
}

CString operator+(const CString& left, const CString& right) {
    CString result(left);
    result += right;
    return result;
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    m_text = kestro::formatArgs(format, args);
    va_end(args);
}

int CString::Find(const char* text) const {
    if (!text) {
        return -1;
    }
    const size_t at = m_text.find(text);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

CString CString::Left(int count) const {
    const int n = std::clamp(count, 0, GetLength());
    return CString(m_text.data(), n);
}

CString CString::Right(int count) const {
    const int n = std::clamp(count, 0, GetLength());
    return CString(m_text.data() + (GetLength() - n), n);
}

int CString::Delete(int index, int count) {
    const long long length = GetLength();
    const long long from = std::max(index, 0);
    const long long end = std::min(from + std::max(count, 0), length);
    if (end > from) {
        m_text.erase(static_cast<size_t>(from), static_cast<size_t>(end - from));
    }
    return GetLength();
}

void CString::MakeUpper() {
    for (char& c : m_text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
}

namespace {

template <class Integer>
bool readLittleEndian(FF::utils::IBuffer* buffer, Integer* value) {
    unsigned char bytes[sizeof(Integer)];
    if (!buffer->read(bytes, sizeof bytes)) {
        return false;
    }
    Integer v = 0;
    for (size_t i = sizeof bytes; i-- > 0;) {
        v = static_cast<Integer>((v << 8) | bytes[i]);
    }
    *value = v;
    return true;
}

} // namespace

bool CString::deserialize(FF::utils::IBuffer* buffer) {
    if (!buffer) {
        return false;
    }
    // Length prefix: one byte below 0xFF, else 0xFF and a uint16 below 0xFFFF, else 0xFF,
    // 0xFFFF and a uint32.
    uint8_t shortLength = 0;
    if (!readLittleEndian(buffer, &shortLength)) {
        return false;
    }
    uint64_t length = shortLength;
    if (shortLength == 0xFF) {
        uint16_t middleLength = 0;
        if (!readLittleEndian(buffer, &middleLength)) {
            return false;
        }
        length = middleLength;
        if (middleLength == 0xFFFF) {
            uint32_t longLength = 0;
            if (!readLittleEndian(buffer, &longLength)) {
                return false;
            }
            length = longLength;
        }
    }
    const uint64_t total = buffer->length();
    const uint64_t consumed = buffer->position();
    if (consumed > total || length > total - consumed) {
        throw FF::utils::deserialize_block_error("string of " + std::to_string(length) +
                                                 " bytes runs past the end of the stream");
    }
    std::string text(static_cast<size_t>(length), '\0');
    if (length > 0 && !buffer->read(&text[0], length)) {
        throw FF::utils::deserialize_block_error("string bytes could not be read");
    }
    m_text.swap(text);
    return true;
}

// ---- Arrays ----

namespace {

// Capacity for a request that does not fit: the classic growth step, which grows with the array
// when no step was set, so that growing one entry at a time stays linear.
int grownCapacity(int size, int capacity, int growBy, int wanted) {
    int step = growBy;
    if (step <= 0) {
        step = std::clamp(size / 8, 4, 1024);
    }
    const long long candidate = static_cast<long long>(capacity) + step;
    return static_cast<int>(std::max<long long>(std::min<long long>(candidate, INT32_MAX), wanted));
}

// The storage step of SetSize that both arrays share: the new growth step (a negative one
// keeps the old), the release of everything for a count of 0 or less, and a larger block, the
// entries kept, when count does not fit. False when the array was released; the caller then
// has nothing left to do.
template <class T>
bool reserveFor(T*& data, int& size, int& capacity, int& growBy, int count, int newGrowBy) {
    if (newGrowBy >= 0) {
        growBy = newGrowBy;
    }
    if (count <= 0) {
        delete[] data;
        data = nullptr;
        size = capacity = 0;
        return false;
    }
    if (count > capacity) {
        const int grown = grownCapacity(size, capacity, growBy, count);
        T* block = new T[static_cast<size_t>(grown)];
        std::copy(data, data + size, block);
        delete[] data;
        data = block;
        capacity = grown;
    }
    return true;
}

} // namespace

CObArray::CObArray() : m_pData(nullptr), m_nSize(0), m_nMaxSize(0), m_nGrowBy(0), m_inline() {}

CObArray::~CObArray() {
    Release();
}

void CObArray::Release() {
    if (m_pData != m_inline) {
        delete[] m_pData;
    }
}

void CObArray::SetSize(int count, int growBy) {
    if (growBy >= 0) {
        m_nGrowBy = growBy;
    }
    if (count <= 0) {
        Release();
        m_pData = nullptr;
        m_nSize = m_nMaxSize = 0;
        return;
    }
    if (m_pData == nullptr && count <= kInline) {
        // A small array lives in its inline entries.
        m_pData = m_inline;
        m_nMaxSize = kInline;
    } else if (count > m_nMaxSize) {
        const int grown = grownCapacity(m_nSize, m_nMaxSize, m_nGrowBy, count);
        void** block = new void*[static_cast<size_t>(grown)];
        std::copy(m_pData, m_pData + m_nSize, block);
        Release();
        m_pData = block;
        m_nMaxSize = grown;
    }
    if (count > m_nSize) {
        std::fill(m_pData + m_nSize, m_pData + count, nullptr);
    }
    m_nSize = count;
}

CStringArray::CStringArray() : m_pData(nullptr), m_nSize(0), m_nMaxSize(0), m_nGrowBy(0) {}

CStringArray::~CStringArray() {
    delete[] m_pData;
}

void CStringArray::SetSize(int count, int growBy) {
    if (!reserveFor(m_pData, m_nSize, m_nMaxSize, m_nGrowBy, count, growBy)) {
        return;
    }
    // Entries given up by a shrink are emptied so that a later grow finds them empty.
    for (int i = count; i < m_nSize; ++i) {
        m_pData[i] = "";
    }
    m_nSize = count;
}
