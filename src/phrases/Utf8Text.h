#pragma once

// QString::fromUtf8 drops a byte order mark at the start of its input, which would silently
// strip U+FEFF from the start of a title or content. Fields read from files go through here.

#include <QString>
#include <QStringDecoder>

inline QString utf8ToString(const char* data, qsizetype size)
{
    if (size >= 3 && data[0] == '\xEF' && data[1] == '\xBB' && data[2] == '\xBF') {
        QStringDecoder decoder(QStringDecoder::Utf8,
            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        return decoder(QByteArrayView(data, size));
    }
    return QString::fromUtf8(data, size);
}

inline QString utf8ToString(const QByteArray& bytes)
{
    return utf8ToString(bytes.constData(), bytes.size());
}
