#pragma once

// The rules in the defaults store: one JSON array under feature.windowPlacement.rules, rule
// members in a fixed order, frames and dates as numbers that read back as the same doubles.
//
// Loading brings stored signatures into the current form and merges rules of the same
// identity (the later createdAt wins, the earlier-stored one on a tie); when either changed
// anything the document must be rewritten. Rules come out oldest first.
//
// A document that cannot be decoded loads as no rules, as the feature always did; but its
// bytes are first copied under feature.windowPlacement.rules.unreadable, because the next
// save replaces the document and the user's rules would otherwise be gone without a trace.
// The apply-now shortcut is the JSON of a LeftClickShortcut; bytes that do not decode count as
// no shortcut.

#include "WindowPlacementRule.h"
#include "platform/DefaultsStore.h"
#include "shortcuts/LeftClickShortcut.h"

#include <QByteArray>
#include <QList>

#include <optional>

class WindowPlacementRuleStore final
{
public:
    struct Loaded
    {
        QList<WindowPlacementRule> rules;
        bool needsRewrite = false;
        bool keptUnreadable = false; // the stored bytes were copied under unreadableKey()
    };

    explicit WindowPlacementRuleStore(DefaultsStore& defaults);

    static QString rulesKey();
    static QString unreadableKey();
    static QString applyShortcutKey();
    // The status line that tells the user where undecodable rules were kept.
    static QString unreadableNotice();

    Loaded load();
    void save(const QList<WindowPlacementRule>& rules);

    std::optional<LeftClickShortcut> loadApplyShortcut() const;
    // None removes the key.
    void saveApplyShortcut(const std::optional<LeftClickShortcut>& shortcut);

    static QByteArray encode(const QList<WindowPlacementRule>& rules);
    static std::optional<QList<WindowPlacementRule>> decode(const QByteArray& json);
    static Loaded normalized(const QList<WindowPlacementRule>& stored);

private:
    DefaultsStore& m_defaults;
};
