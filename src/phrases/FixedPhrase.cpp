#include "FixedPhrase.h"

#include <algorithm>

FixedPhraseFolderList visibleFolders(const FixedPhraseFolderList& folders)
{
    FixedPhraseFolderList result;
    for (const FixedPhraseFolder& folder : folders) {
        if (!folder.isVisible) {
            continue;
        }
        FixedPhraseFolder shown = folder;
        // Only a folder with hidden phrases gets a list of its own; the others share theirs.
        const auto hidden = [](const FixedPhrase& phrase) {
            return !phrase.isVisible;
        };
        if (std::any_of(folder.phrases.cbegin(), folder.phrases.cend(), hidden)) {
            shown.phrases.removeIf(hidden);
        }
        result.append(std::move(shown));
    }
    return result;
}
