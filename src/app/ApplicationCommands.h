#pragma once

// One registration function per feature; registerApplicationCommands() (declared in
// CommandRegistry.h) calls them in the order they appear in `norvale --help`.

#include "CommandRegistry.h"

#include <QList>

struct ClipboardHistoryItem;

void registerShellCommands(CommandRegistry& registry);
void registerHistoryCommands(CommandRegistry& registry);
void registerPhraseCommands(CommandRegistry& registry);
void registerConfigCommands(CommandRegistry& registry);
void registerPlacementCommands(CommandRegistry& registry);
void registerSoundCommands(CommandRegistry& registry);
void registerDockCommands(CommandRegistry& registry);
void registerUpdateCommands(CommandRegistry& registry);
void registerMouseCommands(CommandRegistry& registry);

// `<group> enable` and `<group> disable`: a feature's switch, as its status-menu item turns it,
// answering with the feature's status line. The summaries say what each does. A feature whose
// switch reaches its status line only after background work passes setEnabled that calls
// `settled` once the line is current; the others answer at once.
using FeatureSwitch = std::function<void(const AppModels&, bool on, std::function<void()> settled)>;
void addFeatureSwitchCommands(CommandRegistry& registry, const QString& group,
    const QString& enableSummary, const QString& disableSummary,
    std::function<void(const AppModels&, bool)> setEnabled,
    std::function<std::optional<QString>(const AppModels&)> statusMessage);
void addFeatureSwitchCommands(CommandRegistry& registry, const QString& group,
    const QString& enableSummary, const QString& disableSummary, FeatureSwitch setEnabled,
    std::function<std::optional<QString>(const AppModels&)> statusMessage);
void registerShortcutCommands(CommandRegistry& registry);

namespace HistoryCommands {

// `history list` output for items (newest first; indices are positions in the whole list).
// kind: empty for every kind, else "text", "url" or "image".
QByteArray formatList(const QList<ClipboardHistoryItem>& items, const QString& kind, bool json);

} // namespace HistoryCommands

namespace ConfigCommands {

// The value as `config get` prints it: bool as true/false, numbers in the shortest form that
// reads back, strings as they are, data as its UTF-8 text when it is valid UTF-8, otherwise
// "base64:" and its Base64.
QString formatValue(const DefaultsValue& value);
// Parses text as the given type ("bool", "int", "double", "string", "data"); nothing when it
// does not parse (error set).
std::optional<DefaultsValue> parseValue(const QString& text, const QString& type, QString* error);

} // namespace ConfigCommands
