// The stored placement rules: whatever decodes must encode into a document that decodes to
// the same rules, and normalizing what was loaded must settle in one pass.

#include "FuzzCheck.h"
#include "placement/WindowPlacementRuleStore.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

// A NaN read from a document never compares equal to itself; the rules are still "the same".
bool sameNumbers(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

bool sameRules(const QList<WindowPlacementRule>& a, const QList<WindowPlacementRule>& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        WindowPlacementRule x = a[i];
        const WindowPlacementRule& y = b[i];
        if (!sameNumbers(x.targetFrame.x, y.targetFrame.x) ||
            !sameNumbers(x.targetFrame.y, y.targetFrame.y) ||
            !sameNumbers(x.targetFrame.width, y.targetFrame.width) ||
            !sameNumbers(x.targetFrame.height, y.targetFrame.height) ||
            !sameNumbers(x.createdAt, y.createdAt)) {
            return false;
        }
        x.targetFrame = y.targetFrame;
        x.createdAt = y.createdAt;
        if (!(x == y)) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray json(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto rules = WindowPlacementRuleStore::decode(json);
    if (!rules) {
        return 0;
    }
    const auto again = WindowPlacementRuleStore::decode(WindowPlacementRuleStore::encode(*rules));
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(sameRules(*again, *rules));

    const auto loaded = WindowPlacementRuleStore::normalized(*rules);
    const auto settled = WindowPlacementRuleStore::normalized(loaded.rules);
    FUZZ_CHECK(!settled.needsRewrite);
    FUZZ_CHECK(sameRules(settled.rules, loaded.rules));
    return 0;
}
