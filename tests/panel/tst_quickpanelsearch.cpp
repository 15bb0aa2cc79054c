// The search syntax, the filtered lists, captions, counts and section heights of the quick
// panel.

#include "QuickPanelWorld.h"
#include "common/TestMain.h"

#include <QTest>

class QuickPanelSearchTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scopeAndKeyword_data()
    {
        // clang-format off
        QTest::addColumn<QString>("searchText");
        QTest::addColumn<SearchScope>("scope");
        QTest::addColumn<QString>("keyword");
        QTest::newRow("empty") << "" << SearchScope::All << "";
        QTest::newRow("lone g") << "g" << SearchScope::All << "g";
        QTest::newRow("g and blank") << "g " << SearchScope::Image << "";
        QTest::newRow("upper-case G") << "G cat" << SearchScope::Image << "cat";
        QTest::newRow("u, keyword in blanks") << "u  exa \n" << SearchScope::Url << "exa";
        QTest::newRow("s") << "S 挨拶" << SearchScope::FixedPhrase << "挨拶";
        QTest::newRow("letter without blank") << "gx y" << SearchScope::All << "gx y";
        QTest::newRow("other letter") << "x y" << SearchScope::All << "x y";
        QTest::newRow("ideographic blank") << "g\u3000x" << SearchScope::All << "g\u3000x";
        QTest::newRow("blanks around") << "\u3000 hello \t" << SearchScope::All << "hello";
        // clang-format on
    }
    void scopeAndKeyword()
    {
        QFETCH(QString, searchText);
        QuickPanelWorld world;
        world.menu.setSearchText(searchText);
        QTEST(world.menu.searchScope(), "scope");
        QTEST(world.menu.activeSearchKeyword(), "keyword");
    }

    // Counts per kind (text, URL, image) of two texts, a URL and two images, one of which has
    // known dimensions.
    void historyFilter_data()
    {
        // clang-format off
        QTest::addColumn<QString>("searchText");
        QTest::addColumn<QList<int>>("counts");
        QTest::newRow("no search") << "" << QList {2, 1, 2};
        QTest::newRow("g scope") << "g " << QList {0, 0, 2};
        QTest::newRow("u scope") << "u " << QList {0, 1, 0};
        QTest::newRow("u scope with image keyword") << "u 画像" << QList {0, 0, 0};
        QTest::newRow("detail of texts") << "文字" << QList {2, 0, 0};
        QTest::newRow("character count") << "11文字" << QList {1, 0, 0};
        QTest::newRow("detail of URLs") << "url" << QList {0, 1, 0};
        QTest::newRow("detail of images") << "画像" << QList {0, 0, 2};
        QTest::newRow("dimensions") << "g 4000 x 3000" << QList {0, 0, 1};
        QTest::newRow("across detail and text") << "文字 hello" << QList {1, 0, 0};
        QTest::newRow("no match") << "zzz" << QList {0, 0, 0};
        // clang-format on
    }
    void historyFilter()
    {
        QFETCH(QString, searchText);
        QuickPanelWorld world;
        world.history.setItems(
            {world.text(QStringLiteral("hello world")), world.text(QStringLiteral("Goodbye")),
                world.text(QStringLiteral("https://example.com/g")), world.image(1, {4000, 3000}),
                world.image(2)});
        world.menu.setSearchText(searchText);
        const QList<int> counts {
            static_cast<int>(world.menu.filteredItems(ClipboardHistoryKind::Text).size()),
            static_cast<int>(world.menu.filteredItems(ClipboardHistoryKind::Url).size()),
            static_cast<int>(world.menu.filteredItems(ClipboardHistoryKind::Image).size())};
        QTEST(counts, "counts");
    }

    void fixedPhraseFilter_data()
    {
        // clang-format off
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("title") << QStringList {"s 昼"} << QStringList {"昼"};
        QTest::newRow("content, any case") << QStringList {"s GOOD"} << QStringList {"朝"};
        QTest::newRow("full-width, any case") << QStringList {"s ＧＯＯＤ"} << QStringList {"朝"};
        QTest::newRow("hidden phrase") << QStringList {"s こんばんは"} << QStringList {};
        QTest::newRow("phrase of a hidden folder") << QStringList {"s 山田"} << QStringList {};
        QTest::newRow("keyword extended") << QStringList {"s ", "s g", "s go", "s GOOD"} << QStringList {"朝"};
        QTest::newRow("folder title extended") << QStringList {"s 挨", "s 挨拶"} << QStringList {"朝", "昼"};
        QTest::newRow("keyword replaced, then shortened") << QStringList {"s 昼", "s 朝", "s "} << QStringList {"朝", "昼"};
        // clang-format on
    }
    void fixedPhraseFilter()
    {
        QFETCH(QStringList, typed);
        QuickPanelWorld world;
        world.addFolder(QStringLiteral("挨拶"),
            {{"朝", "Good morning ｇｏｏｄ"}, {"夜", "こんばんは", false}, {"昼", "こんにちは"}});
        world.addFolder(QStringLiteral("仕事"), {{"署名", "山田"}}, false);
        world.addFolder(QStringLiteral("空"), {});
        QStringList titles;
        for (const QString& searchText : typed) {
            world.menu.setSearchText(searchText);
            titles.clear();
            for (const FixedPhraseSearchResult& result : world.menu.filteredFixedPhraseResults()) {
                titles.append(result.phrase.title);
            }
        }
        QTEST(titles, "titles");
    }

    void visiblePhrasesFollowEdits()
    {
        QuickPanelWorld world;
        const QUuid folder =
            world.addFolder(QStringLiteral("挨拶"), {{"朝", "a"}, {"夜", "b", false}});
        world.addFolder(QStringLiteral("仕事"), {{"署名", "c"}}, false);
        world.menu.setSearchText(QStringLiteral("s 朝"));
        QCOMPARE(world.menu.filteredFixedPhraseResults().size(), 1);
        QCOMPARE(world.menu.fixedPhraseLauncherDetail(), QStringLiteral("1件"));
        world.phraseModel.setAllPhrasesVisible(folder, false);
        QCOMPARE(world.menu.fixedPhraseLauncherDetail(), QStringLiteral("未表示"));
        QCOMPARE(world.menu.filteredFixedPhraseResults().size(), 0);
    }

    void captions_data()
    {
        // clang-format off
        QTest::addColumn<QString>("searchText");
        QTest::addColumn<QString>("historyCaption");
        QTest::addColumn<QString>("phraseCaption");
        const QString none = QStringLiteral("項目はありません");
        const QString noMatch = QStringLiteral("一致する項目はありません");
        QTest::newRow("no search") << "" << none << none;
        QTest::newRow("bare s") << "s " << noMatch << none;
        QTest::newRow("s and keyword") << "s x" << noMatch << noMatch;
        QTest::newRow("blank only") << " " << noMatch << none;
        // clang-format on
    }
    void captions()
    {
        QFETCH(QString, searchText);
        QuickPanelWorld world;
        world.menu.setSearchText(searchText);
        QTEST(world.menu.historySectionEmptyCaption(), "historyCaption");
        QTEST(world.menu.fixedPhraseSectionEmptyCaption(), "phraseCaption");
    }
};

NORVALE_TEST_CLASS(QuickPanelSearchTest)
#include "tst_quickpanelsearch.moc"
