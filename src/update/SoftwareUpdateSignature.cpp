#include "SoftwareUpdateSignature.h"

#include <QFile>

#include <sodium.h>

std::optional<QByteArray> SoftwareUpdateSignature::publicKeyFromBase64(const QByteArray& base64)
{
    const auto key =
        QByteArray::fromBase64Encoding(base64.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!key || key.decoded.size() != publicKeySize) {
        return std::nullopt;
    }
    return key.decoded;
}

std::optional<QByteArray> SoftwareUpdateSignature::publicKey()
{
    const char* variable = "NORVALE_UPDATE_PUBLIC_KEY";
    return publicKeyFromBase64(qEnvironmentVariableIsSet(variable)
            ? qgetenv(variable)
            : QByteArrayLiteral(NORVALE_UPDATE_PUBLIC_KEY));
}

SoftwareUpdateSignature::Result SoftwareUpdateSignature::verifyFile(const QString& path,
    qint64 expectedLength, const QByteArray& signature, const QByteArray& publicKey)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Result::Unreadable;
    }
    if (file.size() != expectedLength) {
        return Result::WrongLength;
    }
    const QByteArray contents = file.readAll();
    if (contents.size() != expectedLength) {
        return Result::Unreadable;
    }
    if (signature.size() != signatureSize || publicKey.size() != publicKeySize ||
        sodium_init() < 0) {
        return Result::BadSignature;
    }
    const int verified =
        crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.constData()),
            reinterpret_cast<const unsigned char*>(contents.constData()),
            static_cast<unsigned long long>(contents.size()),
            reinterpret_cast<const unsigned char*>(publicKey.constData()));
    return verified == 0 ? Result::Valid : Result::BadSignature;
}
