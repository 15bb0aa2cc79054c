#include "WindowPlacementRuleStore.h"

#include "MonitorDescriptor.h"
#include "support/JsonWriter.h"
#include "support/Uuid.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

bool readString(const QJsonObject& object, QLatin1StringView key, QString* out)
{
    const QJsonValue value = object.value(key);
    if (!value.isString()) {
        return false;
    }
    *out = value.toString();
    return true;
}

bool readNumber(const QJsonObject& object, QLatin1StringView key, double* out)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble()) {
        return false;
    }
    *out = value.toDouble();
    return true;
}

std::optional<WindowPlacementRule> readRule(const QJsonValue& value)
{
    if (!value.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = value.toObject();
    WindowPlacementRule rule;
    QString id;
    if (!readString(object, QLatin1StringView("id"), &id)) {
        return std::nullopt;
    }
    const std::optional<QUuid> uuid = Uuid::parse(id);
    if (!uuid) {
        return std::nullopt;
    }
    rule.id = *uuid;
    const QJsonValue frame = object.value(QLatin1StringView("targetFrame"));
    if (!frame.isObject() ||
        !readString(object, QLatin1StringView("monitorSignature"), &rule.monitorSignature) ||
        !readString(object, QLatin1StringView("monitorDescription"), &rule.monitorDescription) ||
        !readString(object, QLatin1StringView("appBundleIdentifier"), &rule.appBundleIdentifier) ||
        !readString(object, QLatin1StringView("appName"), &rule.appName) ||
        !readString(object, QLatin1StringView("windowTitle"), &rule.windowTitle) ||
        !readNumber(object, QLatin1StringView("createdAt"), &rule.createdAt)) {
        return std::nullopt;
    }
    const QJsonObject rect = frame.toObject();
    WindowRect& target = rule.targetFrame;
    if (!readNumber(rect, QLatin1StringView("x"), &target.x) ||
        !readNumber(rect, QLatin1StringView("y"), &target.y) ||
        !readNumber(rect, QLatin1StringView("width"), &target.width) ||
        !readNumber(rect, QLatin1StringView("height"), &target.height)) {
        return std::nullopt;
    }
    return rule;
}

} // namespace

WindowPlacementRuleStore::WindowPlacementRuleStore(DefaultsStore& defaults)
    : m_defaults(defaults)
{ }

QString WindowPlacementRuleStore::rulesKey()
{
    return QStringLiteral("feature.windowPlacement.rules");
}

QString WindowPlacementRuleStore::unreadableKey()
{
    return QStringLiteral("feature.windowPlacement.rules.unreadable");
}

QString WindowPlacementRuleStore::applyShortcutKey()
{
    return QStringLiteral("feature.windowPlacement.applyShortcut");
}

QString WindowPlacementRuleStore::unreadableNotice()
{
    return QStringLiteral("読み込めなかった登録内容を ") + unreadableKey() +
        QStringLiteral(" に退避しました");
}

WindowPlacementRuleStore::Loaded WindowPlacementRuleStore::load()
{
    const std::optional<QByteArray> bytes = m_defaults.dataValue(rulesKey());
    if (!bytes) {
        return {};
    }
    const std::optional<QList<WindowPlacementRule>> stored = decode(*bytes);
    if (!stored) {
        m_defaults.set(unreadableKey(), *bytes);
        return {{}, false, true};
    }
    return normalized(*stored);
}

void WindowPlacementRuleStore::save(const QList<WindowPlacementRule>& rules)
{
    m_defaults.set(rulesKey(), encode(rules));
}

std::optional<LeftClickShortcut> WindowPlacementRuleStore::loadApplyShortcut() const
{
    const std::optional<QByteArray> json = m_defaults.dataValue(applyShortcutKey());
    return json ? LeftClickShortcut::fromJson(*json) : std::nullopt;
}

void WindowPlacementRuleStore::saveApplyShortcut(const std::optional<LeftClickShortcut>& shortcut)
{
    if (shortcut) {
        m_defaults.set(applyShortcutKey(), shortcut->toJson());
    } else {
        m_defaults.remove(applyShortcutKey());
    }
}

QByteArray WindowPlacementRuleStore::encode(const QList<WindowPlacementRule>& rules)
{
    JsonWriter writer(JsonWriter::Style::Compact);
    writer.beginArray();
    for (const WindowPlacementRule& rule : rules) {
        writer.beginObject();
        writer.key(u"id");
        writer.value(Uuid::toText(rule.id));
        writer.key(u"monitorSignature");
        writer.value(rule.monitorSignature);
        writer.key(u"monitorDescription");
        writer.value(rule.monitorDescription);
        writer.key(u"appBundleIdentifier");
        writer.value(rule.appBundleIdentifier);
        writer.key(u"appName");
        writer.value(rule.appName);
        writer.key(u"windowTitle");
        writer.value(rule.windowTitle);
        writer.key(u"targetFrame");
        writer.beginObject();
        writer.key(u"x");
        writer.value(rule.targetFrame.x);
        writer.key(u"y");
        writer.value(rule.targetFrame.y);
        writer.key(u"width");
        writer.value(rule.targetFrame.width);
        writer.key(u"height");
        writer.value(rule.targetFrame.height);
        writer.endObject();
        writer.key(u"createdAt");
        writer.value(rule.createdAt);
        writer.endObject();
    }
    writer.endArray();
    writer.finish();
    return writer.result();
}

std::optional<QList<WindowPlacementRule>> WindowPlacementRuleStore::decode(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        return std::nullopt;
    }
    QList<WindowPlacementRule> rules;
    const QJsonArray array = document.array();
    for (const QJsonValue& value : array) {
        std::optional<WindowPlacementRule> rule = readRule(value);
        if (!rule) {
            return std::nullopt;
        }
        rules.append(std::move(*rule));
    }
    return rules;
}

WindowPlacementRuleStore::Loaded WindowPlacementRuleStore::normalized(
    const QList<WindowPlacementRule>& stored)
{
    Loaded loaded;
    QHash<RuleIdentity, qsizetype> held; // identity → index in loaded.rules
    for (WindowPlacementRule rule : stored) {
        const QString signature = stableMonitorSignature(rule.monitorSignature);
        if (signature != rule.monitorSignature) {
            loaded.needsRewrite = true;
            rule.monitorSignature = signature;
        }
        const auto found = held.constFind(rule.identity());
        if (found == held.cend()) {
            held.insert(rule.identity(), loaded.rules.size());
            loaded.rules.append(std::move(rule));
            continue;
        }
        loaded.needsRewrite = true;
        if (rule.createdAt > loaded.rules.at(*found).createdAt) {
            loaded.rules[*found] = std::move(rule);
        }
    }
    std::stable_sort(loaded.rules.begin(), loaded.rules.end(),
        [](const WindowPlacementRule& a, const WindowPlacementRule& b) {
            return a.createdAt < b.createdAt;
        });
    return loaded;
}
