#include "SettingsWorld.h"
#include "common/TestFiles.h"
#include "common/TestMain.h"
#include "phrases/FixedPhraseStorage.h"
#include "settings/FixedPhraseSelection.h"
#include "settings/FixedPhraseSettingsTab.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTest>

namespace {

// A phrase store on mock time, described as "A:a1,a2 B:" (folder titles, a colon, the phrase
// titles), every title unique so that tests can name items by title.
struct PhraseStore
{
    QTemporaryDir dir;
    ManualScheduler scheduler;
    ManualExecutor executor {scheduler};
    FileLocations locations {dir.path()};
    FixedPhraseModel model {scheduler, executor, locations};

    void fill(const QString& layout)
    {
        for (const QString& folder : layout.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QUuid id = model.addFolder();
            model.updateFolderTitle(id, folder.section(QLatin1Char(':'), 0, 0));
            for (const QString& phrase :
                folder.section(QLatin1Char(':'), 1).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                model.updatePhrase(id, *model.addPhrase(id), phrase, std::nullopt);
            }
        }
    }

    QString layout() const
    {
        QStringList folders;
        for (const FixedPhraseFolder& folder : model.folders()) {
            QStringList phrases;
            for (const FixedPhrase& phrase : folder.phrases) {
                phrases.append(phrase.title);
            }
            folders.append(folder.title + QLatin1Char(':') + phrases.join(QLatin1Char(',')));
        }
        return folders.join(QLatin1Char(' '));
    }

    // Every folder and phrase, id to title.
    QHash<QUuid, QString> titles() const
    {
        QHash<QUuid, QString> all;
        for (const FixedPhraseFolder& folder : model.folders()) {
            all.insert(folder.id, folder.title);
            for (const FixedPhrase& phrase : folder.phrases) {
                all.insert(phrase.id, phrase.title);
            }
        }
        return all;
    }

    QSet<QUuid> idsOf(const QString& names) const
    {
        QSet<QUuid> ids;
        for (const QString& name : names.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            ids.insert(titles().key(name));
        }
        return ids;
    }

    QString titleOf(const std::optional<QUuid>& id) const
    {
        return titles().value(id.value_or(QUuid()), QStringLiteral("-"));
    }

    QString titlesOf(const QSet<QUuid>& ids) const
    {
        QStringList list;
        for (const QUuid& id : ids) {
            list.append(titleOf(id));
        }
        list.sort();
        return list.join(QLatin1Char(','));
    }
};

void drain(ManualScheduler& scheduler, ManualExecutor& executor)
{
    scheduler.runPending();
    while (executor.pendingCount() > 0) {
        executor.runAll();
        scheduler.runPending();
    }
}

// A CSV of the given layout (folders with phrases), every phrase's content "<title>の内容".
QByteArray csvOf(const QString& layout)
{
    QByteArray csv = "分類,分類の表示,タイトル,内容,定型文の表示\n";
    for (const QString& folder : layout.split(QLatin1Char(' '))) {
        for (const QString& phrase : folder.section(QLatin1Char(':'), 1).split(QLatin1Char(','))) {
            csv += QStringLiteral("%1,表示,%2,%2の内容,表示\n")
                       .arg(folder.section(QLatin1Char(':'), 0, 0), phrase)
                       .toUtf8();
        }
    }
    return csv;
}

void run(PhraseStore& store, FixedPhraseSelection& selection, const QString& step)
{
    const QString verb = step.section(QLatin1Char(' '), 0, 1);
    const QString argument = step.section(QLatin1Char(' '), 2);
    const QSet<int> from {argument.section(QLatin1Char('>'), 0, 0).toInt()};
    const int to = argument.section(QLatin1Char('>'), 1).toInt();
    if (verb == QStringLiteral("click folders")) {
        selection.setSelectedFolderIDs(store.idsOf(argument));
    } else if (verb == QStringLiteral("click phrases")) {
        selection.setSelectedPhraseIDs(store.idsOf(argument));
    } else if (verb == QStringLiteral("add folder")) {
        selection.addFolder();
    } else if (verb == QStringLiteral("add phrase")) {
        selection.addPhrase();
    } else if (verb == QStringLiteral("remove folders")) {
        selection.removeSelectedFolders();
    } else if (verb == QStringLiteral("remove phrases")) {
        selection.removeSelectedPhrases();
    } else if (verb == QStringLiteral("move folder")) {
        selection.moveSelectedFolder(argument.toInt());
    } else if (verb == QStringLiteral("move phrase")) {
        selection.moveSelectedPhrase(argument.toInt());
    } else if (verb == QStringLiteral("drop folders")) {
        selection.dropFolders(from, to);
    } else if (verb == QStringLiteral("drop phrases")) {
        selection.dropPhrases(from, to);
    } else if (verb == QStringLiteral("store removes")) {
        const QUuid phrase = *store.idsOf(argument).cbegin();
        for (const FixedPhraseFolder& folder : FixedPhraseFolderList(store.model.folders())) {
            store.model.removePhrase(folder.id, phrase);
        }
    } else if (verb == QStringLiteral("store imports")) {
        const QString path = store.dir.filePath(QStringLiteral("in.csv"));
        writeFile(path, csvOf(argument));
        QVERIFY(store.model.importCSV(path));
        drain(store.scheduler, store.executor);
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
    }
}

template<typename T>
T* named(QWidget& root, const char* name)
{
    return root.findChild<T*>(QLatin1String(name));
}

// Japanese reaches a field as the input method's committed text.
void commit(QWidget* field, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(field, &event);
}

QStringList rowsOf(QListView* list)
{
    QStringList rows;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        rows.append(list->model()->index(row, 0).data().toString());
    }
    return rows;
}

} // namespace

class FixedPhraseSettingsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void selection_data()
    {
        QTest::addColumn<QStringList>("steps");
        // "<edited folder>; <folders selected>; <edited phrase>; <phrases selected>; <store
        // afterwards, = as it was>; <move buttons enabled>", "-" for no edited item.
        QTest::addColumn<QString>("expected");

        // Clicks in the lists.
        QTest::newRow("click a folder")
            << QStringList {"click folders B"} << QStringLiteral("B; B; b1; ; =; F↑ F↓");
        QTest::newRow("range click edits its first folder")
            << QStringList {"click folders A", "click folders A,B,C"}
            << QStringLiteral("B; A,B,C; b1; ; =; ");
        QTest::newRow("unclicking the edited folder falls back to one left")
            << QStringList {"click folders B", "click folders A,B", "click folders B"}
            << QStringLiteral("B; B; b1; ; =; F↑ F↓");
        QTest::newRow("no folder clicked edits the first one's phrase")
            << QStringList {"click folders B", "click folders "}
            << QStringLiteral("-; ; a1; ; =; P↓");
        QTest::newRow("click a phrase") << QStringList {"click folders A", "click phrases a2"}
                                        << QStringLiteral("A; A; a2; a2; =; F↓ P↑ P↓");
        QTest::newRow("two phrases disable the phrase moves")
            << QStringList {"click folders A", "click phrases a1,a2"}
            << QStringLiteral("A; A; a1; a1,a2; =; F↓");

        // Removal and the next selection.
        QTest::newRow("remove the last folder")
            << QStringList {"click folders C", "remove folders"}
            << QStringLiteral("B; B; b1; ; A:a1,a2,a3 B:b1; F↑");
        QTest::newRow("remove a middle folder") << QStringList {"click folders B", "remove folders"}
                                                << QStringLiteral("C; C; -; ; A:a1,a2,a3 C:; F↑");
        QTest::newRow("remove two folders") << QStringList {"click folders A,B", "remove folders"}
                                            << QStringLiteral("C; C; -; ; C:; ");
        QTest::newRow("remove every folder")
            << QStringList {"click folders A,B,C", "remove folders"}
            << QStringLiteral("-; ; -; ; ; ");
        QTest::newRow("remove before any click removes nothing")
            << QStringList {"remove folders"} << QStringLiteral("-; ; -; ; =; ");
        QTest::newRow("remove the last phrase")
            << QStringList {"click folders A", "click phrases a3", "remove phrases"}
            << QStringLiteral("A; A; a2; a2; A:a1,a2 B:b1 C:; F↓ P↑");
        QTest::newRow("remove the first two phrases")
            << QStringList {"click folders A", "click phrases a1,a2", "remove phrases"}
            << QStringLiteral("A; A; a3; a3; A:a3 B:b1 C:; F↓");
        QTest::newRow("remove the only phrase")
            << QStringList {"click folders B", "remove phrases"}
            << QStringLiteral("B; B; -; ; A:a1,a2,a3 B: C:; F↑ F↓");

        // Additions.
        QTest::newRow("add a folder")
            << QStringList {"click folders A", "add folder"}
            << QStringLiteral(
                   "新規フォルダ; 新規フォルダ; -; ; A:a1,a2,a3 B:b1 C: 新規フォルダ:; F↑");
        QTest::newRow("add a phrase to the clicked folder")
            << QStringList {"click folders C", "add phrase"}
            << QStringLiteral("C; C; 新規定型文; 新規定型文; A:a1,a2,a3 B:b1 C:新規定型文; F↑");
        QTest::newRow("add a phrase before any click")
            << QStringList {"add phrase"}
            << QStringLiteral("A; A; 新規定型文; 新規定型文; A:a1,a2,a3,新規定型文 B:b1 C:; F↓ P↑");

        // Reordering.
        QTest::newRow("move a folder down")
            << QStringList {"click folders A", "move folder 1"}
            << QStringLiteral("A; A; a1; a1; B:b1 A:a1,a2,a3 C:; F↑ F↓ P↓");
        QTest::newRow("no move past the end") << QStringList {"click folders C", "move folder 1"}
                                              << QStringLiteral("C; C; -; ; =; F↑");
        QTest::newRow("move a phrase up")
            << QStringList {"click folders A", "click phrases a3", "move phrase -1"}
            << QStringLiteral("A; A; a3; a3; A:a1,a3,a2 B:b1 C:; F↓ P↑ P↓");
        QTest::newRow("dropped folder stays edited")
            << QStringList {"click folders C", "drop folders 2>0"}
            << QStringLiteral("C; C; -; ; C: A:a1,a2,a3 B:b1; F↓");
        QTest::newRow("dropped phrase stays edited")
            << QStringList {"click folders A", "click phrases a1", "drop phrases 0>3"}
            << QStringLiteral("A; A; a1; a1; A:a2,a3,a1 B:b1 C:; F↓ P↑");

        // The store changing under the selection.
        QTest::newRow("edited phrase removed elsewhere")
            << QStringList {"click folders A", "click phrases a2", "store removes a2"}
            << QStringLiteral("A; A; a1; a1; A:a1,a3 B:b1 C:; F↓ P↓");
        QTest::newRow("import selects the first imported folder")
            << QStringList {"click folders B", "store imports X:x1,x2 Y:y1"}
            << QStringLiteral("X; X; x1; x1; X:x1,x2 Y:y1; F↓ P↓");
    }

    void selection()
    {
        QFETCH(QStringList, steps);
        PhraseStore store;
        store.fill(QStringLiteral("A:a1,a2,a3 B:b1 C:"));
        const QString before = store.layout();
        FixedPhraseSelection selection(store.model);
        for (const QString& step : steps) {
            run(store, selection, step);
        }
        QStringList moves;
        for (const auto& [enabled, name] : {std::pair {selection.canMoveSelectedFolder(-1), "F↑"},
                 {selection.canMoveSelectedFolder(+1), "F↓"},
                 {selection.canMoveSelectedPhrase(-1), "P↑"},
                 {selection.canMoveSelectedPhrase(+1), "P↓"}}) {
            if (enabled) {
                moves.append(QString::fromUtf8(name));
            }
        }
        const QString layout = store.layout();
        const QStringList state {store.titleOf(selection.selectedFolderID()),
            store.titlesOf(selection.selectedFolderIDs()),
            store.titleOf(selection.selectedPhraseID()),
            store.titlesOf(selection.selectedPhraseIDs()),
            layout == before ? QStringLiteral("=") : layout, moves.join(QLatin1Char(' '))};
        QTEST(state.join(QStringLiteral("; ")), "expected");
    }

    void editingWritesOnceAfterTheDebounce()
    {
        SettingsWorld world;
        SettingsView& view = world.start();
        view.setSelectedTab(SettingsTab::FixedPhrases);
        view.show();
        auto* addPhrase = named<QAbstractButton>(view, "phraseAddButton");
        auto* note = named<QLabel>(view, "fixedPhraseEmptyNote");
        QVERIFY(!addPhrase->isEnabled());
        QVERIFY(!named<QCheckBox>(view, "folderCheckAll")->isChecked());
        QCOMPARE(note->text(), QStringLiteral("フォルダと定型文を追加してください"));
        QVERIFY(note->isVisible());

        QTest::mouseClick(named<QAbstractButton>(view, "folderAddButton"), Qt::LeftButton);
        QTest::mouseClick(named<QAbstractButton>(view, "folderAddButton"), Qt::LeftButton);
        auto* folders = named<QListView>(view, "folderList");
        auto* phrases = named<QListView>(view, "phraseList");
        QCOMPARE(rowsOf(folders), (QStringList {"新規フォルダ", "新規フォルダ 2"}));
        const QModelIndex first = folders->model()->index(0, 0);
        QTest::mouseClick(
            folders->viewport(), Qt::LeftButton, {}, folders->visualRect(first).center());
        QTest::mouseClick(addPhrase, Qt::LeftButton);
        QTest::mouseClick(addPhrase, Qt::LeftButton);
        QCOMPARE(rowsOf(phrases), (QStringList {"新規定型文", "新規定型文 2"}));
        QVERIFY(!note->isVisible());

        auto* folderTitle = named<QLineEdit>(view, "folderTitleField");
        folderTitle->selectAll();
        commit(folderTitle, QStringLiteral("挨拶"));
        world.scheduler.advance(0.2);
        auto* phraseTitle = named<QLineEdit>(view, "phraseTitleField");
        phraseTitle->selectAll();
        QTest::keyClick(phraseTitle, Qt::Key_Backspace);
        QCOMPARE(rowsOf(phrases).last(), QStringLiteral("名称未設定"));
        commit(phraseTitle, QStringLiteral("お礼"));
        auto* content = named<QPlainTextEdit>(view, "phraseContentEditor");
        commit(content, QStringLiteral("ありがとう"));
        QTest::keyClick(content, Qt::Key_Return);
        commit(content, QStringLiteral("ございます"));
        phrases->setFocus();
        QTest::keyClick(phrases, Qt::Key_Space); // the check box of the current row
        QCOMPARE(rowsOf(folders).first(), QStringLiteral("挨拶"));

        const QString file = world.locations.filePath(QStringLiteral("FixedPhrases.json"));
        world.scheduler.advance(0.349);
        QCOMPARE(world.executor.pendingCount(), 0);
        world.scheduler.advance(0.001);
        QCOMPARE(world.executor.pendingCount(), 1);
        world.executor.runAll();
        world.scheduler.runPending();
        const FixedPhraseFolderList saved = FixedPhraseStorage::decode(readFile(file)).value();
        QCOMPARE(saved.size(), 2);
        QCOMPARE(saved[0].title, QStringLiteral("挨拶"));
        QCOMPARE(saved[0].phrases.size(), 2);
        const FixedPhrase edited = saved[0].phrases[1];
        QCOMPARE(edited.title, QStringLiteral("お礼"));
        QCOMPARE(edited.content, QStringLiteral("ありがとう\nございます"));
        QCOMPARE(edited.isVisible, false);

        auto* allFolders = named<QCheckBox>(view, "folderCheckAll");
        QVERIFY(allFolders->isChecked());
        QTest::mouseClick(allFolders, Qt::LeftButton, {}, QPoint(4, allFolders->height() / 2));
        QVERIFY(!allFolders->isChecked());
        QCOMPARE(visibleFolders(world.fixedPhrases->folders()).size(), 0);

        // Dragging the second folder to the top goes through the store.
        QAbstractItemModel* rows = folders->model();
        const std::unique_ptr<QMimeData> drag(rows->mimeData({rows->index(1, 0)}));
        rows->dropMimeData(drag.get(), Qt::MoveAction, 0, 0, {});
        QCOMPARE(world.fixedPhrases->folders().first().title, QStringLiteral("新規フォルダ 2"));
        QCOMPARE(rowsOf(folders), (QStringList {"新規フォルダ 2", "挨拶"}));

        // Tab reaches every control, in reading order.
        auto* tab = view.findChild<FixedPhraseSettingsTab*>();
        QStringList chain;
        QWidget* widget = named<QWidget>(view, "importFixedPhrasesButton");
        do {
            if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(&view) &&
                tab->isAncestorOf(widget)) {
                chain.append(widget->objectName());
            }
            widget = widget->nextInFocusChain();
        } while (widget->objectName() != QStringLiteral("importFixedPhrasesButton") &&
            chain.size() < 20);
        QCOMPARE(chain.join(QLatin1Char(' ')),
            QStringLiteral("importFixedPhrasesButton exportFixedPhrasesButton folderCheckAll "
                           "folderList folderAddButton folderRemoveButton folderMoveUpButton "
                           "folderMoveDownButton phraseCheckAll phraseList phraseAddButton "
                           "phraseRemoveButton phraseMoveUpButton phraseMoveDownButton "
                           "folderTitleField phraseTitleField phraseContentEditor"));
    }

    void filePanels_data()
    {
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<QString>("chosen"); // file name; empty: cancelled
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("rows"); // the lists afterwards

        QTest::newRow("import") << QByteArray("importFixedPhrasesButton")
                                << QStringLiteral("インポートする定型文CSVを選択してください")
                                << QStringLiteral("CSV・テキスト (*.csv *.txt)") << QString()
                                << "in.csv" << QStringLiteral("定型文を読み込みました")
                                << "X,Y|x1,x2";
        QTest::newRow("cancelled import")
            << QByteArray("importFixedPhrasesButton")
            << QStringLiteral("インポートする定型文CSVを選択してください")
            << QStringLiteral("CSV・テキスト (*.csv *.txt)") << QString() << QString() << QString()
            << "A|a1";
        QTest::newRow("export") << QByteArray("exportFixedPhrasesButton")
                                << QStringLiteral("定型文をCSVでエクスポートします")
                                << QStringLiteral("CSV (*.csv)")
                                << QStringLiteral("Norvale-定型文.csv") << "out.csv"
                                << QStringLiteral("定型文を書き出しました") << "A|a1";
    }

    void filePanels()
    {
        QFETCH(QByteArray, button);
        QFETCH(QString, chosen);
        SettingsWorld world;
        SettingsView& view = world.start();
        view.setSelectedTab(SettingsTab::FixedPhrases);
        auto* tab = view.findChild<FixedPhraseSettingsTab*>();
        FixedPhraseModel& model = *world.fixedPhrases;
        const QUuid folder = model.addFolder();
        model.updateFolderTitle(folder, QStringLiteral("A"));
        model.updatePhrase(folder, *model.addPhrase(folder), QStringLiteral("a1"), {});
        QList<FixedPhraseSettingsTab::FilePanelRequest> requests;
        FixedPhraseSettingsTab::FilePanelDone answer;
        tab->setFilePanelPresenter([&](const auto& request, auto done) {
            requests.append(request);
            answer = std::move(done);
        });
        const QString csv = world.dir.filePath(QStringLiteral("in.csv"));
        writeFile(csv, csvOf(QStringLiteral("X:x1,x2 Y:y1")));
        auto* import = named<QAbstractButton>(view, "importFixedPhrasesButton");
        auto* exportButton = named<QAbstractButton>(view, "exportFixedPhrasesButton");

        named<QAbstractButton>(view, button.constData())->click();
        QCOMPARE(requests.size(), 1);
        QTEST(requests[0].message, "message");
        QTEST(requests[0].nameFilters.join(QString()), "filter");
        QTEST(requests[0].proposedName, "proposed");
        QCOMPARE(requests[0].directory,
            QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
        // While the dialog is up neither transfer starts again.
        QVERIFY(!import->isEnabled() && !exportButton->isEnabled());
        tab->importFixedPhrases();
        tab->exportFixedPhrases();
        QCOMPARE(requests.size(), 1);

        answer(chosen.isEmpty() ? std::nullopt : std::optional(world.dir.filePath(chosen)));
        auto* progress = named<QProgressBar>(view, "fixedPhraseTransferProgress");
        QCOMPARE(progress->isVisibleTo(tab), !chosen.isEmpty());
        QCOMPARE(import->isEnabled(), chosen.isEmpty());
        drain(world.scheduler, world.executor);
        auto* status = named<QLabel>(view, "fixedPhraseStatus");
        QTEST(status->isVisibleTo(tab) ? status->text() : QString(), "status");
        QVERIFY(import->isEnabled() && exportButton->isEnabled());
        const QString rows = rowsOf(named<QListView>(view, "folderList")).join(QLatin1Char(',')) +
            QLatin1Char('|') + rowsOf(named<QListView>(view, "phraseList")).join(QLatin1Char(','));
        QTEST(rows, "rows");
    }
};

NORVALE_TEST_CLASS(FixedPhraseSettingsTest)
#include "tst_fixedphrasesettings.moc"
