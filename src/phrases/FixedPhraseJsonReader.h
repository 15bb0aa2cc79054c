#pragma once

// A strict JSON reader for "FixedPhrases.json", straight from the file's bytes into folders.
// The whole text must be one RFC 8259 JSON value in UTF-8 (unknown members are checked as
// thoroughly as known ones, unpaired surrogate escapes are refused, nesting is bounded), and
// it must be an array of folder objects as FixedPhraseStorage describes. Strings go from
// the file's bytes to QString in one conversion, with no tree in between: a 60 MB store
// reads in a fraction of what a general-purpose document model needs, in time and memory.

#include "FixedPhrase.h"

#include <optional>

namespace FixedPhraseJsonReader {

std::optional<FixedPhraseFolderList> read(const char* data, qsizetype size);

} // namespace FixedPhraseJsonReader
