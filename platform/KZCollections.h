#pragma once
// Small operations on arrays and dictionaries that several parts share.

#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <optional>
#include <vector>

namespace kz {

// Splits the items into chunks of at most maxSize (at least 1), in order. An empty input gives
// no chunk; an input of at most maxSize items gives one chunk, untransformed. Otherwise each
// item passes through the transform (when given) and items it maps to nullopt are dropped.
template <class T>
std::vector<std::vector<T>> chunkyArray(const std::vector<T>& items, size_t maxSize,
                                        const std::function<std::optional<T>(const T&)>& transform = {})
{
    std::vector<std::vector<T>> chunks;
    if (maxSize == 0) maxSize = 1;
    if (items.empty()) return chunks;
    if (items.size() <= maxSize) {
        chunks.push_back(items);
        return chunks;
    }
    std::vector<T> current;
    current.reserve(maxSize);
    for (const T& item : items) {
        std::optional<T> kept = transform ? transform(item) : std::optional<T>(item);
        if (!kept) continue;
        if (current.size() == maxSize) {
            chunks.push_back(std::move(current));
            current = {};
            current.reserve(maxSize);
        }
        current.push_back(std::move(*kept));
    }
    chunks.push_back(std::move(current));
    return chunks;
}

// Maps every item through the block (item, index, stop flag), skipping nullopt results; the
// block may set the flag to end the walk.
template <class U, class T>
std::vector<U> arrayWithValueTransformer(const std::vector<T>& items,
                                         const std::function<std::optional<U>(const T&, size_t, bool&)>& block)
{
    std::vector<U> out;
    bool stop = false;
    for (size_t i = 0; i < items.size() && !stop; ++i) {
        if (auto v = block(items[i], i, stop)) out.push_back(std::move(*v));
    }
    return out;
}

// A copy of the dictionary with the key set to the value; nullopt for an empty key or an
// invalid value.
inline std::optional<QVariantMap> dictionaryByReplacingObject(const QVariantMap& dict, const QVariant& value,
                                                              const QString& key)
{
    if (key.isEmpty() || !value.isValid()) return std::nullopt;
    QVariantMap copy = dict;
    copy.insert(key, value);
    return copy;
}

// A copy of the dictionary with every pair of the other set over it.
inline QVariantMap dictionaryByMergingWithDictionary(const QVariantMap& dict, const QVariantMap& other)
{
    QVariantMap copy = dict;
    for (auto it = other.begin(); it != other.end(); ++it) copy.insert(it.key(), it.value());
    return copy;
}

inline bool dictionaryContainsObject(const QVariantMap& dict, const QVariant& value)
{
    if (!value.isValid()) return false;
    for (auto it = dict.begin(); it != dict.end(); ++it)
        if (it.value() == value) return true;
    return false;
}

} // namespace kz
