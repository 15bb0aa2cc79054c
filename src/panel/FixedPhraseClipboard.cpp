#include "FixedPhraseClipboard.h"

#include "clipboard/ClipboardHistoryModel.h"
#include "phrases/FixedPhraseModel.h"
#include "platform/Pasteboard.h"

void FixedPhraseClipboard::copy(
    ClipboardHistoryModel& history, FixedPhraseModel& phrases, const FixedPhrase& phrase)
{
    Pasteboard& pasteboard = history.pasteboard();
    pasteboard.writeString(phrase.content);
    history.setLastChangeCount(pasteboard.changeCount());
    phrases.setStatusMessage(QStringLiteral("定型文をコピーしました"));
}
