// Monitor signatures as stored by any earlier version: bringing one into the current form must
// not fail, and a current signature is a fixed point.

#include "FuzzCheck.h"
#include "placement/MonitorDescriptor.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString signature =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString stable = stableMonitorSignature(signature);
    FUZZ_CHECK(stableMonitorSignature(stable) == stable);
    (void)monitorSignatureSortKey(signature);
    return 0;
}
