#pragma once

// The update feed: an RSS 2.0 channel whose items describe releases with the update-feed
// namespace ("http://www.andymatuschak.org/xml-namespaces/sparkle"). Per item: the version
// (sparkle:version, as an element or as the enclosure's attribute), the version shown to people
// (sparkle:shortVersionString), a release-notes link (sparkle:releaseNotesLink) or inline notes
// (description), and the enclosure: url, length and sparkle:edSignature (Base64 of the 64-byte
// Ed25519 signature of the whole file). Items lacking a version or an enclosure URL are not
// offers and are skipped; text that is not well-formed RSS spoils the whole feed.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

struct SoftwareUpdateAppcastItem
{
    QString title;
    QString version;
    QString shortVersion;
    QUrl releaseNotesURL;
    QString description;
    QUrl enclosureURL;
    qint64 length = -1; // -1 when the feed gives none
    QByteArray edSignature; // raw bytes; empty when missing or not Base64

    // The short version when there is one, else the version.
    QString displayVersion() const { return shortVersion.isEmpty() ? version : shortVersion; }
    bool operator==(const SoftwareUpdateAppcastItem&) const = default;
};

namespace SoftwareUpdateAppcast {

// The items in feed order; nothing when the text is no RSS feed (*error says why).
std::optional<QList<SoftwareUpdateAppcastItem>> parse(const QByteArray& xml, QString* error);
// The item with the highest version (the first of equals); nothing for an empty list.
std::optional<SoftwareUpdateAppcastItem> newest(const QList<SoftwareUpdateAppcastItem>& items);

} // namespace SoftwareUpdateAppcast
