// The update feed, as any server or man in the middle may send it: any bytes either fail with a
// reason or give offers that each name a version and a download, and the newest offer is not
// older than any other under a version order that is consistent (a version equals itself, and
// swapping two versions swaps the order).

#include "FuzzCheck.h"
#include "update/SoftwareUpdateAppcast.h"
#include "update/SoftwareUpdateVersion.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray feed(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const auto items = SoftwareUpdateAppcast::parse(feed, &error);
    if (!items) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    for (const SoftwareUpdateAppcastItem& item : *items) {
        FUZZ_CHECK(!item.version.isEmpty());
        FUZZ_CHECK(item.enclosureURL.isValid() && !item.enclosureURL.isEmpty());
        FUZZ_CHECK(item.length >= -1);
        FUZZ_CHECK(!item.displayVersion().isEmpty());
    }
    const auto newest = SoftwareUpdateAppcast::newest(*items);
    FUZZ_CHECK(newest.has_value() == !items->isEmpty());
    // Pairs among the first offers: enough for the order, without quadratic time on long feeds.
    const qsizetype checked = std::min<qsizetype>(items->size(), 16);
    for (qsizetype i = 0; i < checked; ++i) {
        const QString& a = items->at(i).version;
        FUZZ_CHECK(SoftwareUpdateVersion::compare(a, a) == 0);
        FUZZ_CHECK(SoftwareUpdateVersion::compare(newest->version, a) >= 0);
        for (qsizetype j = i + 1; j < checked; ++j) {
            const QString& b = items->at(j).version;
            const int forward = SoftwareUpdateVersion::compare(a, b);
            const int backward = SoftwareUpdateVersion::compare(b, a);
            FUZZ_CHECK((forward > 0) == (backward < 0) && (forward == 0) == (backward == 0));
        }
    }
    return 0;
}
