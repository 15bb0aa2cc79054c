#pragma once

// The items of a libplist dictionary in their stored order, each key as text. Reading a key that
// holds a NUL aborts inside libplist: a binary file with such keys must be rejected first.

#include <QString>

#include <cstdlib>
#include <plist/plist.h>

template<typename Visit>
void forEachPropertyListItem(plist_t dictionary, Visit visit)
{
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(dictionary, &iterator);
    for (;;) {
        char* rawKey = nullptr;
        plist_t node = nullptr;
        plist_dict_next_item(dictionary, iterator, &rawKey, &node);
        const QString key = QString::fromUtf8(rawKey);
        std::free(rawKey);
        if (node == nullptr) {
            break;
        }
        visit(key, node);
    }
    std::free(iterator);
}
