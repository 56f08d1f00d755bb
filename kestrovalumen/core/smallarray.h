// A growable array that keeps its first few elements inside itself.
#pragma once

#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <memory>
#include <type_traits>

namespace kv {

//! A growable array of trivially copyable values whose first N elements live in the object.
//! The colour tables of the animations hold two to four limits almost always; kept inside the
//! animation they are read with it on every refresh instead of from two more places in the heap.
template <class T, std::size_t N>
class SmallArray {
    static_assert(std::is_trivially_copyable_v<T>, "elements are copied as bytes");

public:
    SmallArray() = default;
    SmallArray(std::initializer_list<T> values) { copyFrom(values.begin(), values.end()); }
    SmallArray(const SmallArray& other) { copyFrom(other.begin(), other.end()); }
    SmallArray& operator=(const SmallArray& other) {
        if (this != &other) {
            copyFrom(other.begin(), other.end());
        }
        return *this;
    }
    SmallArray& operator=(std::initializer_list<T> values) {
        copyFrom(values.begin(), values.end());
        return *this;
    }

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    //! How many elements fit before the storage moves (N while inline).
    std::size_t capacity() const { return m_heap ? m_capacity : N; }
    //! True while the elements are inside the object.
    bool isInline() const { return !m_heap; }

    T* data() { return m_heap ? m_heap.get() : m_inline; }
    const T* data() const { return m_heap ? m_heap.get() : m_inline; }
    T* begin() { return data(); }
    T* end() { return data() + m_size; }
    const T* begin() const { return data(); }
    const T* end() const { return data() + m_size; }
    T& operator[](std::size_t i) { return data()[i]; }
    const T& operator[](std::size_t i) const { return data()[i]; }
    const T& back() const { return data()[m_size - 1]; }

    void clear() { m_size = 0; }

    //! count copies of value. Storage beyond N comes from the heap, exactly the size asked for
    //! (the callers have checked the count against their input); std::bad_alloc leaves the
    //! array empty.
    void assign(std::size_t count, const T& value) {
        reserveExactly(count);
        std::fill_n(data(), count, value);
        m_size = count;
    }

private:
    void copyFrom(const T* first, const T* last) {
        const auto count = static_cast<std::size_t>(last - first);
        reserveExactly(count);
        std::copy(first, last, data());
        m_size = count;
    }

    void reserveExactly(std::size_t count) {
        m_size = 0;
        if (count <= capacity()) {
            return;
        }
        m_heap.reset();
        m_heap.reset(new T[count]);
        m_capacity = count;
    }

    std::size_t m_size = 0;
    std::size_t m_capacity = 0; //!< of m_heap
    std::unique_ptr<T[]> m_heap;
    T m_inline[N]{};
};

} // namespace kv
