#pragma once

// The large history and phrase store that the crash-safety test has a separate process save,
// the same bytes on both sides for a given generation, so that the test can tell the old
// content from the new one after the process died.

#include "clipboard/ClipboardHistoryItem.h"
#include "phrases/FixedPhrase.h"

#include <QByteArray>
#include <QList>

namespace CrashStores {

// Its first item, an image, is the same in every generation.
QList<ClipboardHistoryItem> history(int generation);
FixedPhraseFolderList phrases(int generation);

QByteArray historyBytes(int generation);
QByteArray phraseBytes(int generation);

} // namespace CrashStores
