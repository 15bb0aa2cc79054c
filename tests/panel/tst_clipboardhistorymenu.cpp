// The quick panel's selections, copies, deletions, the side panel opened from the keyboard and
// the reset on every opening.

#include "QuickPanelWorld.h"
#include "common/TestMain.h"
#include "platform/KeyCodes.h"

#include <QSignalSpy>
#include <QTest>

namespace {

using Source = ClipboardHistoryMenuCopySource;

// Texts t1 (newest) to t3, a URL, an image; phrases p1 and p2 in one folder.
struct Panel : QuickPanelWorld
{
    Panel()
    {
        history.setItems({text(QStringLiteral("t1")), text(QStringLiteral("t2")),
            text(QStringLiteral("t3")), text(QStringLiteral("https://u1")), image(7)});
        addFolder(QStringLiteral("F"), {{"p1", "first phrase"}, {"p2", "second phrase"}});
    }

    std::optional<ClipboardHistoryItem> entry(const QString& content) const
    {
        for (const ClipboardHistoryItem& item : history.items()) {
            if (item.text.value_or(QStringLiteral("image")) == content) {
                return item;
            }
        }
        return std::nullopt;
    }
    QList<ClipboardHistoryItem> without(const QString& content) const
    {
        QList<ClipboardHistoryItem> items = history.items();
        items.removeIf([&](const ClipboardHistoryItem& item) { return item.text == content; });
        return items;
    }

    // Keys go to the search field, or to the side panel while it is open from the keyboard.
    // Other tokens: "drop:<text>" and "add:<text>" change the history, "click:<text>" and
    // "delete:<text>" click an entry, "phrase:<title>" clicks a phrase search row.
    bool run(const QString& tokens)
    {
        bool consumed = false;
        for (const QString& token : tokens.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString argument = token.section(QLatin1Char(':'), 1);
            if (token.startsWith(u"drop:")) {
                history.setItems(without(argument));
            } else if (token.startsWith(u"add:")) {
                history.setItems(QList {text(argument)} + history.items());
            } else if (token.startsWith(u"click:")) {
                menu.copyHistoryItem(*entry(argument));
            } else if (token.startsWith(u"delete:")) {
                menu.deleteHistoryItem(entry(argument)->id);
            } else if (token.startsWith(u"phrase:")) {
                menu.copyFixedPhrase(
                    *phraseModel.phrase(phraseModel.folders().first().id, phraseID(argument)));
            } else {
                consumed = press(token);
            }
        }
        return consumed;
    }
    bool press(const QString& token)
    {
        static const QHash<QString, std::uint16_t> named {{"return", KeyCode::returnKey},
            {"enter", KeyCode::keypadEnter}, {"escape", KeyCode::escape},
            {"left", KeyCode::leftArrow}, {"right", KeyCode::rightArrow},
            {"down", KeyCode::downArrow}, {"up", KeyCode::upArrow}};
        const std::uint16_t code = named.value(token, 0);
        if (menu.fixedPhrasePanelSelection()) {
            return menu.handleFixedPhrasePanelKeyDown(
                code, named.contains(token) ? QString() : token);
        }
        return menu.handleSearchKeyDown(code);
    }

    QString selection() const
    {
        if (const auto id = menu.selectedFixedPhraseID()) {
            return phraseModel.phrase(phraseModel.folders().first().id, *id)->title;
        }
        for (const ClipboardHistoryItem& item : history.items()) {
            if (item.id == menu.selectedHistoryItemID()) {
                return item.text.value_or(QStringLiteral("image"));
            }
        }
        return menu.selectedHistoryItemID() ? QStringLiteral("gone") : QStringLiteral("-");
    }
    QString clipboard() const
    {
        const QStringList types = pasteboard.types();
        return types == QStringList {PasteboardType::string} ? clipboardText() : types.join(u',');
    }
};

} // namespace

class ClipboardHistoryMenuTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void selection_data()
    {
        // clang-format off
        QTest::addColumn<QString>("searchText");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("selected");
        QTest::newRow("Down selects the newest text") << "" << "down" << "t1";
        QTest::newRow("Up without selection") << "" << "up" << "t1";
        QTest::newRow("Down stays on the last") << "" << "down down down down" << "t3";
        QTest::newRow("Up stays on the first") << "" << "down down up up up" << "t1";
        QTest::newRow("URL scope walks URLs") << "u " << "down down" << "https://u1";
        QTest::newRow("image scope walks images") << "g " << "down" << "image";
        QTest::newRow("nothing matches") << "zzz" << "down" << "-";
        QTest::newRow("selected entry dropped: first") << "" << "down down drop:t2 down" << "t1";
        QTest::newRow("entry added above") << "" << "down down add:t0 down" << "t3";
        QTest::newRow("entry added, Up") << "" << "down add:t0 up" << "t0";
        QTest::newRow("phrases") << "s " << "down down down" << "p2";
        QTest::newRow("phrases, Up") << "s phrase" << "down down up up" << "p1";
        QTest::newRow("no phrase matches") << "s zzz" << "down" << "-";
        // clang-format on
    }
    void selection()
    {
        QFETCH(QString, searchText);
        QFETCH(QString, keys);
        Panel panel;
        panel.menu.setSearchText(searchText);
        panel.run(keys);
        QTEST(panel.selection(), "selected");
    }

    // What each copy puts on the clipboard, what it reports, the changes it makes and the
    // phrase status line.
    void copy_data()
    {
        // clang-format off
        QTest::addColumn<QString>("searchText");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("reported");
        QTest::newRow("Return copies") << "" << "down down return" << "t2" << "history";
        QTest::newRow("Enter on an image") << "g " << "down enter" << "image/png" << "history";
        QTest::newRow("Return without selection") << "" << "return" << "" << "";
        QTest::newRow("selection gone") << "" << "down drop:t1 return" << "" << "";
        QTest::newRow("click") << "" << "click:t3" << "t3" << "history";
        QTest::newRow("Return, phrase") << "s sec" << "down return" << "second phrase" << "phrase";
        QTest::newRow("phrase row click") << "" << "phrase:p1" << "first phrase" << "phrase";
        QTest::newRow("panel Enter") << "" << "right down right enter" << "first phrase" << "phrase";
        QTest::newRow("phrase without selection") << "s " << "return" << "" << "";
        // clang-format on
    }
    void copy()
    {
        QFETCH(QString, searchText);
        QFETCH(QString, actions);
        QFETCH(QString, reported);
        Panel panel;
        panel.menu.setSearchText(searchText);
        const qint64 before = panel.pasteboard.changeCount();
        panel.run(actions);
        QTEST(panel.clipboard(), "clipboard");
        QStringList reports;
        for (const Source source : panel.copies) {
            reports.append(source == Source::History ? "history" : "phrase");
        }
        QCOMPARE(reports.join(u' '), reported);
        // One write, never a clear first, which the history has seen already: not recorded.
        QCOMPARE(panel.pasteboard.changeCount() - before, reported.isEmpty() ? 0 : 1);
        QCOMPARE(panel.pasteboard.clearCount(), 0);
        QCOMPARE(panel.history.lastChangeCount(), panel.pasteboard.changeCount());
        QCOMPARE(panel.phraseStatus(), reported == "phrase" ? "定型文をコピーしました" : "");
    }

    void imagePreviewFollowsSelection()
    {
        Panel panel;
        QSignalSpy shown(&panel.menu, &ClipboardHistoryMenuViewModel::imagePreviewRequested);
        QSignalSpy hidden(&panel.menu, &ClipboardHistoryMenuViewModel::imagePreviewHideRequested);
        panel.menu.setSearchText(QStringLiteral("g "));
        hidden.clear();
        panel.run(QStringLiteral("down"));
        QCOMPARE(shown.count(), 1);
        QCOMPARE(shown.first().first().value<ClipboardHistoryItem>(), *panel.entry("image"));
        panel.run(QStringLiteral("delete:image"));
        QCOMPARE(panel.selection(), QStringLiteral("-"));
        QCOMPARE(hidden.count(), 1);
        QVERIFY(!panel.entry(QStringLiteral("image")));
        panel.menu.setSearchText(QString());
        panel.run(QStringLiteral("down"));
        QCOMPARE(shown.count(), 1);
        QCOMPARE(hidden.count(), 3); // the search text changed, a text entry is selected
    }

    void deleteKeepsOtherSelection()
    {
        Panel panel;
        panel.run(QStringLiteral("down delete:t2"));
        QCOMPARE(panel.selection(), QStringLiteral("t1"));
        QCOMPARE(panel.history.items().size(), 4);
        QVERIFY(panel.history.isSaving());
    }

    void resetOnEveryOpening()
    {
        Panel panel;
        panel.menu.setSearchText(QStringLiteral("t"));
        panel.run(QStringLiteral("down"));
        panel.menu.setSearchText(QString());
        panel.run(QStringLiteral("right 1"));
        QVERIFY(panel.menu.fixedPhrasePanelSelection());
        QSignalSpy hidden(
            &panel.menu, &ClipboardHistoryMenuViewModel::fixedPhrasePanelHideRequested);

        panel.menuState.renewResetToken();
        QCOMPARE(panel.menu.searchText(), QString());
        QCOMPARE(panel.selection(), QStringLiteral("-"));
        QVERIFY(!panel.menu.fixedPhrasePanelVisible());
        QVERIFY(!panel.menu.fixedPhrasePanelSelection());
        QCOMPARE(hidden.count(), 1);
        QVERIFY(!panel.menu.searchFieldFocused()); // after layout, on the next turn
        panel.scheduler.runPending();
        QVERIFY(panel.menu.searchFieldFocused());

        // A selection without a search is cleared as well.
        panel.run(QStringLiteral("down"));
        panel.menuState.renewResetToken();
        QCOMPARE(panel.selection(), QStringLiteral("-"));
    }
};

NORVALE_TEST_CLASS(ClipboardHistoryMenuTest)
#include "tst_clipboardhistorymenu.moc"
