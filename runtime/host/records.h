// The record a host service keeps of its calls, bounded so that a station running for months
// holds a fixed amount of it. It reads like a vector of the entries still kept, oldest first.
// Positions count every entry ever added, so a position taken before older entries were dropped
// still names the same entry; entries before the oldest kept one are gone, and dropped() counts
// them.
//
// Entries go when the owner says it has read them (forgetBefore) and, whatever the owner does,
// when more than limit() are kept: then the oldest half goes at once, so that adding stays
// amortised constant.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace kestro {

template <class T>
class RecordList {
public:
    using value_type = T;
    using const_iterator = typename std::vector<T>::const_iterator;
    using iterator = const_iterator;
    using size_type = size_t;

    //! The default limit: enough for any one event of a screen, small enough to stay flat.
    static constexpr size_t kDefaultLimit = 10000;

    void push_back(T entry) {
        if (m_items.size() >= m_limit) {
            drop(m_items.size() - m_limit / 2);
        }
        m_items.push_back(std::move(entry));
    }

    // The entries kept.
    size_t size() const { return m_items.size(); }
    bool empty() const { return m_items.empty(); }
    const T& operator[](size_t i) const { return m_items[i]; }
    const T& at(size_t i) const { return m_items.at(i); }
    const T& front() const { return m_items.front(); }
    const T& back() const { return m_items.back(); }
    const_iterator begin() const { return m_items.begin(); }
    const_iterator end() const { return m_items.end(); }
    const std::vector<T>& items() const { return m_items; }
    operator const std::vector<T>&() const { return m_items; } // NOLINT: reads as a vector

    //! The position after the last entry: every entry ever added.
    size_t total() const { return m_dropped + m_items.size(); }
    //! Entries added and no longer kept.
    size_t dropped() const { return m_dropped; }
    //! Entries dropped among those at or after a position.
    size_t droppedSince(size_t position) const {
        return position < m_dropped ? m_dropped - position : 0;
    }
    //! The entries kept from a position on.
    std::vector<T> since(size_t position) const {
        const size_t first = position > m_dropped ? position - m_dropped : 0;
        if (first >= m_items.size()) {
            return {};
        }
        return std::vector<T>(m_items.begin() + static_cast<std::ptrdiff_t>(first), m_items.end());
    }
    //! The entry at a position; null when it is gone or not there yet.
    T* atPosition(size_t position) {
        return position >= m_dropped && position < total() ? &m_items[position - m_dropped]
                                                           : nullptr;
    }
    //! Drops the entries before a position.
    void forgetBefore(size_t position) {
        if (position > m_dropped) {
            drop(position - m_dropped);
        }
    }

    size_t limit() const { return m_limit; }
    //! At least 2; entries over the new limit go at once.
    void setLimit(size_t limit) {
        m_limit = limit < 2 ? 2 : limit;
        if (m_items.size() > m_limit) {
            drop(m_items.size() - m_limit);
        }
    }

    //! Forgets every entry and the count of dropped ones; the limit stays.
    void clear() {
        m_items.clear();
        m_items.shrink_to_fit();
        m_dropped = 0;
    }

    friend bool operator==(const RecordList& a, const std::vector<T>& b) { return a.m_items == b; }
    friend bool operator==(const std::vector<T>& a, const RecordList& b) { return a == b.m_items; }
    friend bool operator!=(const RecordList& a, const std::vector<T>& b) { return !(a == b); }
    friend bool operator!=(const std::vector<T>& a, const RecordList& b) { return !(a == b); }

private:
    void drop(size_t count) {
        count = count < m_items.size() ? count : m_items.size();
        m_items.erase(m_items.begin(), m_items.begin() + static_cast<std::ptrdiff_t>(count));
        m_dropped += count;
        // A burst must not leave its peak behind.
        if (m_items.capacity() > 2 * m_limit && m_items.size() < m_limit / 2) {
            m_items.shrink_to_fit();
        }
    }

    std::vector<T> m_items;
    size_t m_dropped = 0;
    size_t m_limit = kDefaultLimit;
};

} // namespace kestro
