// "FixedPhrases.json": whatever decodes must write back into bytes that decode to the same
// folders, and those bytes are already in their final form.

#include "FuzzCheck.h"
#include "phrases/FixedPhraseStorage.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto folders = FixedPhraseStorage::decode(bytes);
    if (!folders) {
        return 0;
    }
    const QByteArray written = FixedPhraseStorage::encode(*folders);
    const auto again = FixedPhraseStorage::decode(written);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(*again == *folders);
    FUZZ_CHECK(FixedPhraseStorage::encode(*again) == written);
    return 0;
}
