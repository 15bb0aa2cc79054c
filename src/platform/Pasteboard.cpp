#include "Pasteboard.h"

void Pasteboard::writeString(const QString& text, const QString& type)
{
    write({{type, text.toUtf8()}});
}

void Pasteboard::writeData(const QString& type, const QByteArray& bytes)
{
    write({{type, bytes}});
}
