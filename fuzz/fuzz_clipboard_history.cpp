// "ClipboardHistory.json": whatever decodes must write back into a file that decodes to the
// same items. Images go through a spill folder on the way in, so the writer streams them back
// out of files, as the application does.

#include "FuzzCheck.h"
#include "clipboard/ClipboardHistoryReader.h"
#include "clipboard/ClipboardHistoryWriter.h"
#include "clipboard/ClipboardImageSpill.h"
#include "support/JsonWriter.h"

#include <QBuffer>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

// A small window, so that objects cross window boundaries.
ClipboardHistoryReader::Result decode(const char* data, std::size_t size)
{
    QBuffer buffer;
    buffer.setData(data, static_cast<qsizetype>(size));
    FUZZ_CHECK(buffer.open(QIODevice::ReadOnly));
    static const QTemporaryDir cache;
    static const ClipboardImageSpill spill(cache.path());
    return ClipboardHistoryReader::decode(
        buffer, [](QByteArray bytes) { return spill.spill(std::move(bytes)); }, 64);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto result = decode(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(result.outcome != ClipboardHistoryReader::Outcome::OutOfResources);
    if (result.outcome != ClipboardHistoryReader::Outcome::Decoded) {
        return 0;
    }
    JsonWriter writer(JsonWriter::Style::Pretty);
    FUZZ_CHECK(ClipboardHistoryWriter::writeFile(writer, result.items));
    FUZZ_CHECK(writer.finish());
    const QByteArray written = writer.result();
    const auto again = decode(written.constData(), static_cast<std::size_t>(written.size()));
    FUZZ_CHECK(again.outcome == ClipboardHistoryReader::Outcome::Decoded);
    FUZZ_CHECK(again.items == result.items);
    return 0;
}
