#pragma once

// UUIDs are written in the canonical 36-character upper-case form and read strictly:
// exactly 8-4-4-4-12 hexadecimal digits in either case (the all-zero UUID is valid).

#include <QString>
#include <QStringView>
#include <QUuid>

#include <optional>

namespace Uuid {

QString toText(const QUuid& uuid);
std::optional<QUuid> parse(QStringView text);
QUuid create();

} // namespace Uuid
