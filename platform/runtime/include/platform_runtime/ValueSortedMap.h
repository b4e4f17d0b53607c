#pragma once
// The ordered map behind Value::Dictionary: std::map's interface over one sorted vector, so a
// dictionary costs one allocation for all its entries instead of one per entry.
//
// Differences from std::map a caller can see: inserting or erasing invalidates iterators and
// references into the map, and an insertion away from the end moves the later entries (O(n)).
// Entries are std::pair<Key, T>; the key must not be changed through an iterator.

#include <algorithm>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

template <class Key, class T, class Compare = std::less<Key>>
class ValueSortedMap {
public:
    using key_type = Key;
    using mapped_type = T;
    using value_type = std::pair<Key, T>;
    using key_compare = Compare;
    using size_type = std::size_t;
    using difference_type = std::ptrdiff_t;
    using reference = value_type&;
    using const_reference = const value_type&;
    using iterator = typename std::vector<value_type>::iterator;
    using const_iterator = typename std::vector<value_type>::const_iterator;
    using reverse_iterator = typename std::vector<value_type>::reverse_iterator;
    using const_reverse_iterator = typename std::vector<value_type>::const_reverse_iterator;

    ValueSortedMap() = default;
    ValueSortedMap(std::initializer_list<value_type> items) { assignUnsorted(items.begin(), items.end()); }
    template <class It>
    ValueSortedMap(It first, It last) {
        assignUnsorted(first, last);
    }
    // Adopts entries already in strictly ascending key order (not checked): how a decoder that
    // sorted its entries itself builds a map without comparing the keys again.
    static ValueSortedMap fromSortedUnique(std::vector<value_type>&& entries) {
        ValueSortedMap m;
        m.entries_ = std::move(entries);
        return m;
    }
    ValueSortedMap& operator=(std::initializer_list<value_type> items) {
        entries_.clear();
        assignUnsorted(items.begin(), items.end());
        return *this;
    }

    // --- iteration and size ---------------------------------------------------------------
    iterator begin() noexcept { return entries_.begin(); }
    iterator end() noexcept { return entries_.end(); }
    const_iterator begin() const noexcept { return entries_.begin(); }
    const_iterator end() const noexcept { return entries_.end(); }
    const_iterator cbegin() const noexcept { return entries_.cbegin(); }
    const_iterator cend() const noexcept { return entries_.cend(); }
    reverse_iterator rbegin() noexcept { return entries_.rbegin(); }
    reverse_iterator rend() noexcept { return entries_.rend(); }
    const_reverse_iterator rbegin() const noexcept { return entries_.rbegin(); }
    const_reverse_iterator rend() const noexcept { return entries_.rend(); }
    const_reverse_iterator crbegin() const noexcept { return entries_.crbegin(); }
    const_reverse_iterator crend() const noexcept { return entries_.crend(); }

    bool empty() const noexcept { return entries_.empty(); }
    size_type size() const noexcept { return entries_.size(); }
    size_type max_size() const noexcept { return entries_.max_size(); }
    void reserve(size_type n) { entries_.reserve(n); }
    key_compare key_comp() const { return Compare(); }

    // --- lookup ---------------------------------------------------------------------------
    iterator lower_bound(const Key& k) { return begin() + lowerIndex(k); }
    const_iterator lower_bound(const Key& k) const { return begin() + lowerIndex(k); }
    iterator upper_bound(const Key& k) {
        return std::upper_bound(begin(), end(), k, [](const Key& a, const value_type& e) { return Compare()(a, e.first); });
    }
    const_iterator upper_bound(const Key& k) const {
        return std::upper_bound(begin(), end(), k, [](const Key& a, const value_type& e) { return Compare()(a, e.first); });
    }
    iterator find(const Key& k) {
        const auto i = lowerIndex(k);
        return matches(i, k) ? begin() + i : end();
    }
    const_iterator find(const Key& k) const {
        const auto i = lowerIndex(k);
        return matches(i, k) ? begin() + i : end();
    }
    size_type count(const Key& k) const { return matches(lowerIndex(k), k) ? 1 : 0; }
    bool contains(const Key& k) const { return count(k) != 0; }
    std::pair<iterator, iterator> equal_range(const Key& k) {
        const auto i = lowerIndex(k);
        return {begin() + i, begin() + i + (matches(i, k) ? 1 : 0)};
    }
    std::pair<const_iterator, const_iterator> equal_range(const Key& k) const {
        const auto i = lowerIndex(k);
        return {begin() + i, begin() + i + (matches(i, k) ? 1 : 0)};
    }
    T& at(const Key& k) {
        const auto it = find(k);
        if (it == end()) throw std::out_of_range("ValueSortedMap::at");
        return it->second;
    }
    const T& at(const Key& k) const {
        const auto it = find(k);
        if (it == end()) throw std::out_of_range("ValueSortedMap::at");
        return it->second;
    }

    // --- insertion ------------------------------------------------------------------------
    T& operator[](const Key& k) { return try_emplace(k).first->second; }
    T& operator[](Key&& k) { return try_emplace(std::move(k)).first->second; }

    template <class K, class... Args>
    std::pair<iterator, bool> try_emplace(K&& k, Args&&... args) {
        const auto i = lowerIndex(k);
        if (matches(i, k)) return {begin() + i, false};
        const auto it = entries_.emplace(begin() + i, std::piecewise_construct, std::forward_as_tuple(std::forward<K>(k)),
                                         std::forward_as_tuple(std::forward<Args>(args)...));
        return {it, true};
    }
    template <class K, class... Args>
    iterator try_emplace(const_iterator, K&& k, Args&&... args) {
        return try_emplace(std::forward<K>(k), std::forward<Args>(args)...).first;
    }

    template <class K, class M>
    std::pair<iterator, bool> insert_or_assign(K&& k, M&& obj) {
        const auto i = lowerIndex(k);
        if (matches(i, k)) {
            entries_[i].second = std::forward<M>(obj);
            return {begin() + i, false};
        }
        return {entries_.emplace(begin() + i, std::forward<K>(k), std::forward<M>(obj)), true};
    }
    template <class K, class M>
    iterator insert_or_assign(const_iterator, K&& k, M&& obj) {
        return insert_or_assign(std::forward<K>(k), std::forward<M>(obj)).first;
    }

    std::pair<iterator, bool> insert(const value_type& v) { return insertEntry(value_type(v)); }
    std::pair<iterator, bool> insert(value_type&& v) { return insertEntry(std::move(v)); }
    template <class P, std::enable_if_t<std::is_constructible_v<value_type, P&&>, int> = 0>
    std::pair<iterator, bool> insert(P&& v) {
        return insertEntry(value_type(std::forward<P>(v)));
    }
    iterator insert(const_iterator hint, const value_type& v) { return insertHinted(hint, value_type(v)); }
    iterator insert(const_iterator hint, value_type&& v) { return insertHinted(hint, std::move(v)); }
    template <class It>
    void insert(It first, It last) {
        for (; first != last; ++first) insert(value_type(*first));
    }
    void insert(std::initializer_list<value_type> items) { insert(items.begin(), items.end()); }

    template <class... Args>
    std::pair<iterator, bool> emplace(Args&&... args) {
        return insertEntry(value_type(std::forward<Args>(args)...));
    }
    // Entries added in ascending key order with end() as the hint are appended without a search.
    template <class... Args>
    iterator emplace_hint(const_iterator hint, Args&&... args) {
        return insertHinted(hint, value_type(std::forward<Args>(args)...));
    }

    // --- removal --------------------------------------------------------------------------
    iterator erase(const_iterator pos) { return entries_.erase(pos); }
    iterator erase(iterator pos) { return entries_.erase(pos); }
    iterator erase(const_iterator first, const_iterator last) { return entries_.erase(first, last); }
    size_type erase(const Key& k) {
        const auto i = lowerIndex(k);
        if (!matches(i, k)) return 0;
        entries_.erase(begin() + i);
        return 1;
    }
    void clear() noexcept { entries_.clear(); }
    void swap(ValueSortedMap& other) noexcept { entries_.swap(other.entries_); }
    friend void swap(ValueSortedMap& a, ValueSortedMap& b) noexcept { a.swap(b); }

    friend bool operator==(const ValueSortedMap& a, const ValueSortedMap& b) { return a.entries_ == b.entries_; }

private:
    size_type lowerIndex(const Key& k) const {
        const auto it = std::lower_bound(entries_.begin(), entries_.end(), k,
                                         [](const value_type& e, const Key& key) { return Compare()(e.first, key); });
        return static_cast<size_type>(it - entries_.begin());
    }
    bool matches(size_type i, const Key& k) const { return i < entries_.size() && !Compare()(k, entries_[i].first); }

    std::pair<iterator, bool> insertEntry(value_type&& v) {
        const auto i = lowerIndex(v.first);
        if (matches(i, v.first)) return {begin() + i, false};
        return {entries_.insert(begin() + i, std::move(v)), true};
    }

    iterator insertHinted(const_iterator hint, value_type&& v) {
        const Compare less;
        // The usual hint: the entry belongs right before `hint`.
        if ((hint == cend() || less(v.first, hint->first)) && (hint == cbegin() || less(std::prev(hint)->first, v.first))) {
            if (hint == cend()) {
                entries_.push_back(std::move(v));
                return std::prev(end());
            }
            return entries_.insert(hint, std::move(v));
        }
        return insertEntry(std::move(v)).first;
    }

    // Like std::map's range constructor: sorted by key, the first of equal keys kept.
    template <class It>
    void assignUnsorted(It first, It last) {
        for (; first != last; ++first) entries_.emplace_back(*first);
        const Compare less;
        auto byKey = [&less](const value_type& a, const value_type& b) { return less(a.first, b.first); };
        if (std::is_sorted(entries_.begin(), entries_.end(), byKey)) {
            // Strictly ascending already: nothing to drop.
            if (std::adjacent_find(entries_.begin(), entries_.end(), [&less](const value_type& a, const value_type& b) {
                    return !less(a.first, b.first);
                }) == entries_.end())
                return;
        }
        std::stable_sort(entries_.begin(), entries_.end(), byKey);
        entries_.erase(std::unique(entries_.begin(), entries_.end(),
                                   [&less](const value_type& a, const value_type& b) { return !less(a.first, b.first); }),
                       entries_.end());
    }

    std::vector<value_type> entries_;
};
