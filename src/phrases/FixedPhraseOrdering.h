#pragma once

// Reordering and naming rules shared by the phrase model's operations.

#include <QList>
#include <QSet>
#include <QString>

#include <algorithm>
#include <vector>

namespace FixedPhraseOrdering {

// The standard list move behind drag and drop: the elements at offsets (out-of-range ones
// ignored) are taken out in their order and inserted as one block before the element that
// stood at toOffset, which is reduced by the taken elements that stood before it and clamped
// to the remaining list. No offsets: the list unchanged.
template<typename T>
QList<T> movingItems(const QList<T>& items, const QSet<int>& offsets, int toOffset)
{
    std::vector<int> sorted;
    for (const int offset : offsets) {
        if (offset >= 0 && offset < items.size()) {
            sorted.push_back(offset);
        }
    }
    if (sorted.empty()) {
        return items;
    }
    std::sort(sorted.begin(), sorted.end());
    QList<T> taken;
    QList<T> remaining;
    taken.reserve(static_cast<qsizetype>(sorted.size()));
    remaining.reserve(items.size() - static_cast<qsizetype>(sorted.size()));
    size_t next = 0;
    for (int i = 0; i < items.size(); ++i) {
        if (next < sorted.size() && sorted[next] == i) {
            taken.append(items[i]);
            ++next;
        } else {
            remaining.append(items[i]);
        }
    }
    const auto before = std::count_if(
        sorted.begin(), sorted.end(), [toOffset](int offset) { return offset < toOffset; });
    const qsizetype destination =
        std::clamp<qsizetype>(static_cast<qsizetype>(toOffset) - before, 0, remaining.size());
    QList<T> result = remaining.mid(0, destination);
    result.append(taken);
    result.append(remaining.mid(destination));
    return result;
}

// The target of a step move (clamped to the list), or -1 when the element stays.
inline qsizetype stepTarget(qsizetype index, int step, qsizetype count)
{
    const qsizetype target = std::clamp<qsizetype>(index + step, 0, count - 1);
    return target == index ? -1 : target;
}

// base if no title is base, else "base 2", "base 3", ...: the first one free. Exact
// comparison.
QString nextTitle(const QString& base, const QSet<QString>& titles);

} // namespace FixedPhraseOrdering
