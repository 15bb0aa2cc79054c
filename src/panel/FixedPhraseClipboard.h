#pragma once

// Copying a fixed phrase, the one way every path does it (the quick panel's rows, keys and side
// panel, and `norvale phrases copy`): one write of the content as plain text, marked at once
// as a change the history has already seen, and the phrase status line. Closing the panel and
// pasting are the caller's business (the panel pastes, the command line does not).
//
// The mark is taken in the same turn of the main loop as the write, before any posted change
// check or capture completion can run, so the history never records the phrase: a check
// finds the count already seen, and a capture that started before the write is dropped since
// the count moved under it. A later copy by another application is a new count and is
// recorded as usual. One write rather than clear-then-write, because a clipboard manager
// could refill a cleared clipboard between the two and that refill would be a foreign change.
//
// Main thread only.

#include "phrases/FixedPhrase.h"

class ClipboardHistoryModel;
class FixedPhraseModel;

namespace FixedPhraseClipboard {

void copy(ClipboardHistoryModel& history, FixedPhraseModel& phrases, const FixedPhrase& phrase);

} // namespace FixedPhraseClipboard
