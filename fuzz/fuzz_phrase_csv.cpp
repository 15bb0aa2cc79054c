// The CSV import: the tokenizer and the mapping of rows to folders. The reader streams, so the
// same bytes fed in two pieces (cut where the first byte says) must give the same folders as
// the text read whole; an import reads only valid UTF-8, so other bytes stop at the validator.
// What an import made, exported and imported again, must come back unchanged (identifiers
// aside, which a file never carries).

#include "FuzzCheck.h"
#include "phrases/FixedPhraseCSV.h"
#include "phrases/StrictUtf8.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

bool sameFoldersIgnoringIds(const FixedPhraseFolderList& a, const FixedPhraseFolderList& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].title != b[i].title || a[i].isVisible != b[i].isVisible ||
            a[i].phrases.size() != b[i].phrases.size()) {
            return false;
        }
        for (qsizetype j = 0; j < a[i].phrases.size(); ++j) {
            const FixedPhrase& x = a[i].phrases[j];
            const FixedPhrase& y = b[i].phrases[j];
            if (x.title != y.title || x.content != y.content || x.isVisible != y.isVisible) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::size_t cut = data[0] % size;
    const auto* text = reinterpret_cast<const char*>(data) + 1;
    const auto length = static_cast<qsizetype>(size - 1);

    if (!StrictUtf8Validator::isValid(text, length)) {
        return 0;
    }

    // Bytes, as an import reads them: QString::fromUtf8 would already drop a byte order mark.
    FixedPhraseCSVReader wholeReader;
    wholeReader.feed(text, length);
    const auto whole = wholeReader.finish();
    FixedPhraseCSVReader reader;
    const auto first = static_cast<qsizetype>(std::min<std::size_t>(cut, size - 1));
    reader.feed(text, first);
    reader.feed(text + first, length - first);
    const auto pieces = reader.finish();

    FUZZ_CHECK(whole.has_value() == pieces.has_value());
    FUZZ_CHECK(
        FixedPhraseCSV::parse(QString::fromUtf8(text, length)).has_value() == whole.has_value());
    if (whole) {
        FUZZ_CHECK(sameFoldersIgnoringIds(*whole, *pieces));
        const auto again = FixedPhraseCSV::decode(FixedPhraseCSV::encode(*whole));
        FUZZ_CHECK(again.has_value());
        FUZZ_CHECK(sameFoldersIgnoringIds(*whole, *again));
    }
    return 0;
}
