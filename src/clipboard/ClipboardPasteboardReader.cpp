#include "ClipboardPasteboardReader.h"

#include "platform/Pasteboard.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

namespace {

// Qt refuses to decode images over 128 MB by default; a 20-megapixel screenshot with 16 bits
// per channel is already 160 MB. Images are kept at full size, so allow much more. The limit
// is process-wide in Qt, so it is only ever raised, never lowered under another decoder.
constexpr int ImageAllocationLimitMB = 1024;

void raiseImageAllocationLimit()
{
    if (QImageReader::allocationLimit() < ImageAllocationLimitMB) {
        QImageReader::setAllocationLimit(ImageAllocationLimitMB);
    }
}

const QString MicrosoftExcelBundleId = QStringLiteral("com.microsoft.Excel");

} // namespace

namespace ClipboardPasteboardReader {

std::optional<ClipboardHistoryItem> captureItem(const Pasteboard& pasteboard,
    qint64 expectedChangeCount, bool saveExcelCopiesAsText, const QDateTime& now)
{
    if (pasteboard.changeCount() != expectedChangeCount) {
        return std::nullopt;
    }
    std::optional<ClipboardHistoryItem> item = makeItem(pasteboard, saveExcelCopiesAsText, now);
    if (pasteboard.changeCount() != expectedChangeCount) {
        return std::nullopt;
    }
    return item;
}

std::optional<ClipboardHistoryItem> makeItem(
    const Pasteboard& pasteboard, bool saveExcelCopiesAsText, const QDateTime& now)
{
    const QStringList types = pasteboard.types();
    if (isMarkedSecret(pasteboard, types)) {
        return std::nullopt;
    }

    std::optional<QString> text = pasteboard.string(PasteboardType::string);
    if (!text) {
        text = pasteboard.string(PasteboardType::tabularText);
    }
    // A text of blanks is still something the user copied; only the empty string is not.
    const bool hasText = text && !text->isEmpty();

    if (containsExcelContent(pasteboard, types)) {
        // Spreadsheet copies also carry a picture of the cells; it is never recorded.
        if (saveExcelCopiesAsText && hasText) {
            return ClipboardHistoryItem::makeText(*text, now);
        }
        return std::nullopt;
    }
    if (hasText) {
        return ClipboardHistoryItem::makeText(*text, now);
    }

    QString imageType;
    if (types.contains(PasteboardType::png)) {
        imageType = PasteboardType::png;
    } else if (types.contains(PasteboardType::tiff)) {
        imageType = PasteboardType::tiff;
    } else {
        return std::nullopt;
    }
    std::optional<QByteArray> bytes = pasteboard.data(imageType);
    // Zero bytes are no image at all, whatever the type claims.
    if (!bytes || bytes->isEmpty()) {
        return std::nullopt;
    }
    if (imageType != PasteboardType::png) {
        if (std::optional<QByteArray> png = pngData(*bytes)) {
            bytes = std::move(png);
        }
    }
    return ClipboardHistoryItem::makeImage(*bytes, now);
}

bool containsExcelContent(const Pasteboard& pasteboard, const QStringList& availableTypes)
{
    if (availableTypes.contains(PasteboardType::microsoftAppBundleId) &&
        pasteboard.string(PasteboardType::microsoftAppBundleId) == MicrosoftExcelBundleId) {
        return true;
    }
    for (const QString& type : availableTypes) {
        const QString lower = type.toLower();
        if (lower.contains(QLatin1String("excel")) ||
            lower.contains(QLatin1String("spreadsheet"))) {
            return true;
        }
    }
    return false;
}

bool isMarkedSecret(const Pasteboard& pasteboard, const QStringList& availableTypes)
{
    if (!availableTypes.contains(PasteboardType::passwordManagerHint)) {
        return false;
    }
    const std::optional<QByteArray> hint = pasteboard.data(PasteboardType::passwordManagerHint);
    return hint && hint->trimmed() == "secret";
}

std::optional<QByteArray> pngData(const QByteArray& data)
{
    QBuffer input;
    input.setData(data);
    if (!input.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    raiseImageAllocationLimit();
    QImageReader reader(&input);
    // The stored image is the bytes' first image exactly as encoded; orientation is applied
    // only when previews are drawn.
    reader.setAutoTransform(false);
    const QImage image = reader.read();
    if (image.isNull()) {
        return std::nullopt;
    }
    QByteArray png;
    QBuffer output(&png);
    if (!output.open(QIODevice::WriteOnly)) {
        return std::nullopt;
    }
    QImageWriter writer(&output, "png");
    if (!writer.write(image)) {
        return std::nullopt;
    }
    output.close();
    return png;
}

} // namespace ClipboardPasteboardReader
