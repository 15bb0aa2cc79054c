// The shortcut JSON: whatever decodes must encode into JSON that decodes to the same shortcut,
// and its display text must be computable.

#include "FuzzCheck.h"
#include "shortcuts/LeftClickShortcut.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray json(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto shortcut = LeftClickShortcut::fromJson(json);
    if (!shortcut) {
        return 0;
    }
    (void)shortcut->displayText();
    const auto again = LeftClickShortcut::fromJson(shortcut->toJson());
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(*again == *shortcut);
    return 0;
}
