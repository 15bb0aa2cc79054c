#include "SoftwareUpdateAppcast.h"

#include "SoftwareUpdateVersion.h"

#include <QXmlStreamReader>

namespace {

const QString sparkleNamespace =
    QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

bool isSparkle(const QXmlStreamReader& xml, QStringView name)
{
    return xml.namespaceUri() == sparkleNamespace && xml.name() == name;
}

bool isPlain(const QXmlStreamReader& xml, QStringView name)
{
    return xml.namespaceUri().isEmpty() && xml.name() == name;
}

void readEnclosure(const QXmlStreamAttributes& attributes, SoftwareUpdateAppcastItem& item)
{
    item.enclosureURL = QUrl(attributes.value(QStringLiteral("url")).toString().trimmed());
    bool ok = false;
    const qint64 length = attributes.value(QStringLiteral("length")).toLongLong(&ok);
    item.length = ok && length >= 0 ? length : -1;
    // Old feeds carry the versions on the enclosure; an element in the item wins.
    if (item.version.isEmpty()) {
        item.version = attributes.value(sparkleNamespace, QStringLiteral("version")).toString();
    }
    if (item.shortVersion.isEmpty()) {
        item.shortVersion =
            attributes.value(sparkleNamespace, QStringLiteral("shortVersionString")).toString();
    }
    const auto signature = QByteArray::fromBase64Encoding(
        attributes.value(sparkleNamespace, QStringLiteral("edSignature")).toLatin1(),
        QByteArray::AbortOnBase64DecodingErrors);
    item.edSignature = signature ? *signature : QByteArray();
}

SoftwareUpdateAppcastItem readItem(QXmlStreamReader& xml)
{
    SoftwareUpdateAppcastItem item;
    while (xml.readNextStartElement()) {
        if (isPlain(xml, u"title")) {
            item.title = xml.readElementText().trimmed();
        } else if (isPlain(xml, u"description")) {
            item.description = xml.readElementText().trimmed();
        } else if (isPlain(xml, u"enclosure")) {
            readEnclosure(xml.attributes(), item);
            xml.skipCurrentElement();
        } else if (isSparkle(xml, u"version")) {
            item.version = xml.readElementText().trimmed();
        } else if (isSparkle(xml, u"shortVersionString")) {
            item.shortVersion = xml.readElementText().trimmed();
        } else if (isSparkle(xml, u"releaseNotesLink")) {
            item.releaseNotesURL = QUrl(xml.readElementText().trimmed());
        } else {
            xml.skipCurrentElement();
        }
    }
    return item;
}

} // namespace

std::optional<QList<SoftwareUpdateAppcastItem>> SoftwareUpdateAppcast::parse(
    const QByteArray& text, QString* error)
{
    QXmlStreamReader xml(text);
    QList<SoftwareUpdateAppcastItem> items;
    bool sawChannel = false;
    if (xml.readNextStartElement() && isPlain(xml, u"rss")) {
        while (xml.readNextStartElement()) {
            if (!isPlain(xml, u"channel")) {
                xml.skipCurrentElement();
                continue;
            }
            sawChannel = true;
            while (xml.readNextStartElement()) {
                if (!isPlain(xml, u"item")) {
                    xml.skipCurrentElement();
                    continue;
                }
                SoftwareUpdateAppcastItem item = readItem(xml);
                if (!item.version.isEmpty() && item.enclosureURL.isValid() &&
                    !item.enclosureURL.isEmpty()) {
                    items.append(std::move(item));
                }
            }
        }
    }
    if (!xml.hasError()) {
        // Anything after the root element must still be well-formed.
        while (!xml.atEnd()) {
            xml.readNext();
        }
    }
    if (xml.hasError() || !sawChannel) {
        if (error != nullptr) {
            *error = xml.hasError() ? xml.errorString() : QStringLiteral("no RSS channel");
        }
        return std::nullopt;
    }
    return items;
}

std::optional<SoftwareUpdateAppcastItem> SoftwareUpdateAppcast::newest(
    const QList<SoftwareUpdateAppcastItem>& items)
{
    std::optional<SoftwareUpdateAppcastItem> best;
    for (const SoftwareUpdateAppcastItem& item : items) {
        if (!best || SoftwareUpdateVersion::compare(item.version, best->version) > 0) {
            best = item;
        }
    }
    return best;
}
