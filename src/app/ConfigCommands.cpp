// config list, config get and config set: the defaults store from the command line.
//
// Reading works at any time. Writing is refused while an instance runs, because its models
// read their settings once and would neither see nor keep the change; while `config set`
// writes, it holds the instance lock, so no instance can start half-way through.
//
// Without --type, `config set` keeps the type the key already has; a new key needs --type.
// A data value is given as text and stored as its UTF-8 bytes (a shortcut's JSON, say).

#include "ApplicationCommands.h"

#include <QLocale>
#include <QStringDecoder>

#include <cmath>

namespace {

const QStringList typeNames {QStringLiteral("bool"), QStringLiteral("int"),
    QStringLiteral("double"), QStringLiteral("string"), QStringLiteral("data")};

CommandResult needsRealStore()
{
    return CommandResult::failure(QStringLiteral(
        "the simulated world keeps its settings in memory; config works on the real store only"));
}

} // namespace

QString ConfigCommands::formatValue(const DefaultsValue& value)
{
    if (const auto* b = std::get_if<bool>(&value)) {
        return *b ? QStringLiteral("true") : QStringLiteral("false");
    }
    if (const auto* n = std::get_if<qint64>(&value)) {
        return QString::number(*n);
    }
    if (const auto* d = std::get_if<double>(&value)) {
        return QString::number(*d, 'g', QLocale::FloatingPointShortest);
    }
    if (const auto* s = std::get_if<QString>(&value)) {
        return *s;
    }
    if (const auto* bytes = std::get_if<QByteArray>(&value)) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(*bytes);
        if (!decoder.hasError()) {
            return text;
        }
        return QStringLiteral("base64:") + QString::fromLatin1(bytes->toBase64());
    }
    return QString();
}

std::optional<DefaultsValue> ConfigCommands::parseValue(
    const QString& text, const QString& type, QString* error)
{
    if (type == QStringLiteral("bool")) {
        const QString lower = text.toLower();
        if (lower == QStringLiteral("true") || lower == QStringLiteral("yes") ||
            lower == QStringLiteral("1")) {
            return DefaultsValue(true);
        }
        if (lower == QStringLiteral("false") || lower == QStringLiteral("no") ||
            lower == QStringLiteral("0")) {
            return DefaultsValue(false);
        }
        *error = QStringLiteral("'%1' is not a bool (true or false)").arg(text);
        return std::nullopt;
    }
    if (type == QStringLiteral("int")) {
        bool ok = false;
        const qint64 number = text.toLongLong(&ok);
        if (!ok) {
            *error = QStringLiteral("'%1' is not a whole number").arg(text);
            return std::nullopt;
        }
        return DefaultsValue(number);
    }
    if (type == QStringLiteral("double")) {
        bool ok = false;
        const double number = text.toDouble(&ok);
        if (!ok || !std::isfinite(number)) {
            *error = QStringLiteral("'%1' is not a finite number").arg(text);
            return std::nullopt;
        }
        return DefaultsValue(number);
    }
    if (type == QStringLiteral("string")) {
        return DefaultsValue(text);
    }
    if (type == QStringLiteral("data")) {
        return DefaultsValue(text.toUtf8());
    }
    *error = QStringLiteral("unknown type '%1'").arg(type);
    return std::nullopt;
}

void registerConfigCommands(CommandRegistry& registry)
{
    CommandSpec list;
    list.words = QStringList {QStringLiteral("config"), QStringLiteral("list")};
    list.summary =
        QStringLiteral("List the stored settings: key, type and value, separated by tabs.");
    list.route = CommandRoute::Local;
    list.locally = [](const CommandInvocation&, LocalCommandContext& context) {
        if (context.defaults == nullptr) {
            return needsRealStore();
        }
        QStringList keys = context.defaults->keys();
        keys.sort();
        QString text;
        for (const QString& key : keys) {
            const DefaultsValue value = context.defaults->value(key);
            text += key + QLatin1Char('\t') + defaultsTypeName(defaultsTypeOf(value)) +
                QLatin1Char('\t') + ConfigCommands::formatValue(value) + QLatin1Char('\n');
        }
        return CommandResult::output(text);
    };
    registry.add(std::move(list));

    CommandSpec get;
    get.words = QStringList {QStringLiteral("config"), QStringLiteral("get")};
    get.summary = QStringLiteral("Print the value stored under <key>.");
    get.arguments = {
        {QStringLiteral("key"), QStringLiteral("a settings key such as menu.uiScale")}};
    get.route = CommandRoute::Local;
    get.locally = [](const CommandInvocation& invocation, LocalCommandContext& context) {
        if (context.defaults == nullptr) {
            return needsRealStore();
        }
        const QString key = invocation.arguments.first();
        const DefaultsValue value = context.defaults->value(key);
        if (defaultsTypeOf(value) == DefaultsType::Absent) {
            return CommandResult::failure(QStringLiteral("no value is stored under '%1'").arg(key));
        }
        return CommandResult::output(ConfigCommands::formatValue(value) + QLatin1Char('\n'));
    };
    registry.add(std::move(get));

    CommandSpec set;
    set.words = QStringList {QStringLiteral("config"), QStringLiteral("set")};
    set.summary = QStringLiteral("Store <value> under <key> (only while Norvale is not running).");
    set.arguments = {{QStringLiteral("key"), QStringLiteral("a settings key such as menu.uiScale")},
        {QStringLiteral("value"), QStringLiteral("the value as text")}};
    set.options = {{QStringLiteral("type"), QStringLiteral("TYPE"), typeNames,
        QStringLiteral("the value's type; default: the type the key already has")}};
    set.route = CommandRoute::LocalWithoutInstance;
    set.locally = [](const CommandInvocation& invocation, LocalCommandContext& context) {
        if (context.defaults == nullptr) {
            return needsRealStore();
        }
        const QString key = invocation.arguments.at(0);
        QString type = invocation.option(QStringLiteral("type"));
        if (type.isEmpty()) {
            const DefaultsType existing = defaultsTypeOf(context.defaults->value(key));
            if (existing == DefaultsType::Absent) {
                return CommandResult::failure(
                    QStringLiteral("'%1' holds no value yet: give its type with --type %2")
                        .arg(key, typeNames.join(QLatin1Char('|'))),
                    CommandExit::usage);
            }
            type = defaultsTypeName(existing);
        }
        QString error;
        const auto value = ConfigCommands::parseValue(invocation.arguments.at(1), type, &error);
        if (!value) {
            return CommandResult::failure(error, CommandExit::usage);
        }
        context.defaults->set(key, *value);
        if (context.defaults->value(key) != *value) {
            return CommandResult::failure(
                QStringLiteral("the value for '%1' could not be stored").arg(key));
        }
        return CommandResult();
    };
    registry.add(std::move(set));
}
