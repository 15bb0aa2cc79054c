#pragma once

// Checks a downloaded update before anything may open it: its size against the feed's length
// and an Ed25519 signature of the whole file (as the feed's sparkle:edSignature carries it)
// against the publisher's public key. The key built into the application can be replaced
// through NORVALE_UPDATE_PUBLIC_KEY (Base64 of the raw 32-byte key), for people who publish
// their own feed and for tests.

#include <QByteArray>
#include <QString>

#include <optional>

namespace SoftwareUpdateSignature {

inline constexpr qsizetype publicKeySize = 32;
inline constexpr qsizetype signatureSize = 64;

enum class Result
{
    Valid,
    Unreadable,
    WrongLength,
    BadSignature
};

// The key from NORVALE_UPDATE_PUBLIC_KEY when the variable is set, else the built-in one;
// nothing when the text is not the Base64 of exactly 32 bytes.
std::optional<QByteArray> publicKey();
std::optional<QByteArray> publicKeyFromBase64(const QByteArray& base64);

// Reads the file at path whole (one signature covers every byte).
Result verifyFile(const QString& path, qint64 expectedLength, const QByteArray& signature,
    const QByteArray& publicKey);

} // namespace SoftwareUpdateSignature
