#include "FixedPhraseSettingsTab.h"

#include "FixedPhraseSelection.h"
#include "SettingsForm.h"
#include "SettingsTab.h"
#include "phrases/FixedPhraseModel.h"

#include <QAbstractListModel>
#include <QCheckBox>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace FixedPhraseSettings {

namespace {

const QString untitled = QStringLiteral("名称未設定");
const QString rowsMimeType = QStringLiteral("application/x-norvale-fixed-phrase-rows");

} // namespace

// One list of the tab: folders or the selected folder's phrases, as rows of id, title and
// visibility. The rows are replaced whole from the store; when the ids are the same as before
// only the changed rows are repainted, so editing a title keeps the list's scroll position and
// selection.
class RowListModel final : public QAbstractListModel
{
public:
    struct Row
    {
        QUuid id;
        QString title;
        bool isVisible = true;

        friend bool operator==(const Row&, const Row&) = default;
    };

    RowListModel(QIcon icon, QObject* parent)
        : QAbstractListModel(parent)
        , m_icon(std::move(icon))
    { }

    std::function<void(const QUuid& id, bool isVisible)> onVisibilityChange;
    std::function<void(const QSet<int>& offsets, int toOffset)> onDrop;

    template<typename T>
    void setRows(const QList<T>& items)
    {
        QList<Row> rows;
        rows.reserve(items.size());
        for (const T& item : items) {
            rows.append(Row {item.id, item.title, item.isVisible});
        }
        const bool sameIds = rows.size() == m_rows.size() &&
            std::equal(rows.cbegin(), rows.cend(), m_rows.cbegin(),
                [](const Row& a, const Row& b) { return a.id == b.id; });
        if (!sameIds) {
            beginResetModel();
            m_rows = std::move(rows);
            endResetModel();
            return;
        }
        for (int row = 0; row < rows.size(); ++row) {
            if (!(rows[row] == m_rows[row])) {
                m_rows[row] = rows[row];
                Q_EMIT dataChanged(index(row), index(row));
            }
        }
    }

    QUuid idAt(int row) const { return m_rows.at(row).id; }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_rows.size()) {
            return {};
        }
        const Row& row = m_rows.at(index.row());
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return row.title.isEmpty() ? untitled : row.title;
        case Qt::CheckStateRole:
            return row.isVisible ? Qt::Checked : Qt::Unchecked;
        case Qt::DecorationRole:
            return m_icon;
        default:
            return {};
        }
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (role != Qt::CheckStateRole || !index.isValid() || !onVisibilityChange) {
            return false;
        }
        // The store answers with the new rows.
        onVisibilityChange(m_rows.at(index.row()).id, value.toInt() == Qt::Checked);
        return true;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        if (!index.isValid()) {
            return Qt::ItemIsDropEnabled; // drops land between rows, never on one
        }
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
            Qt::ItemIsDragEnabled;
    }

    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    QStringList mimeTypes() const override { return {rowsMimeType}; }

    QMimeData* mimeData(const QModelIndexList& indexes) const override
    {
        QStringList rows;
        for (const QModelIndex& index : indexes) {
            rows.append(QString::number(index.row()));
        }
        auto* data = new QMimeData;
        // Rows of this list only: the address tells the lists apart.
        data->setData(rowsMimeType,
            QString::number(reinterpret_cast<quintptr>(this)).toLatin1() + ';' +
                rows.join(QLatin1Char(',')).toLatin1());
        return data;
    }

    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
        const QModelIndex& parent) override
    {
        const QList<QByteArray> parts = data->data(rowsMimeType).split(';');
        if (action != Qt::MoveAction || parts.size() != 2 ||
            parts[0] != QByteArray::number(reinterpret_cast<quintptr>(this)) || !onDrop) {
            return false;
        }
        QSet<int> offsets;
        for (const QByteArray& number : parts[1].split(',')) {
            offsets.insert(number.toInt());
        }
        const int toOffset = row >= 0 ? row : (parent.isValid() ? parent.row() : rowCount());
        onDrop(offsets, toOffset);
        // The store has moved the rows; nothing is left for the view to remove.
        return false;
    }

private:
    QIcon m_icon;
    QList<Row> m_rows;
};

namespace {

// Draws the row as usual and the drag handle at its right end.
class HandleDelegate final : public QStyledItemDelegate
{
public:
    explicit HandleDelegate(QObject* parent)
        : QStyledItemDelegate(parent)
        , m_handle(SettingsTabs::symbolIcon(
              QStringLiteral("line.3.horizontal"), QStringLiteral("handle-sort")))
    { }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override
    {
        const int side = option.fontMetrics.height();
        QStyleOptionViewItem rest(option);
        rest.rect.setRight(option.rect.right() - side - spacing);
        QStyleOptionViewItem background(option);
        initStyleOption(&background, index);
        background.text.clear();
        background.icon = {};
        background.features &= ~QStyleOptionViewItem::HasCheckIndicator;
        const QWidget* widget = option.widget;
        QStyle* style = widget != nullptr ? widget->style() : nullptr;
        if (style != nullptr) {
            style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);
        }
        QStyledItemDelegate::paint(painter, rest, index);
        const QRect handle(option.rect.right() - side - spacing / 2,
            option.rect.center().y() - side / 2 + 1, side, side);
        m_handle.paint(painter, handle);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        // No wider than the list: a long title is elided rather than scrolled, and the
        // handle stays in sight.
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setWidth(option.fontMetrics.height() * 4);
        return size;
    }

private:
    static constexpr int spacing = 6;
    QIcon m_handle;
};

const QString importMessage = QStringLiteral("インポートする定型文CSVを選択してください");
const QString exportMessage = QStringLiteral("定型文をCSVでエクスポートします");
const QStringList importFilters {QStringLiteral("CSV・テキスト (*.csv *.txt)")};
const QStringList exportFilters {QStringLiteral("CSV (*.csv)")};

// The pane widths and icon size, and the text size they go with.
constexpr double folderPaneWidth = 175.0;
constexpr double phrasePaneWidth = 215.0;
constexpr double standardTextPixels = 13.0;
constexpr double standardIconSize = 16.0;
constexpr double captionTextPixels = 11.0;

void presentWithDialog(QWidget* host, const FixedPhraseSettingsTab::FilePanelRequest& request,
    FixedPhraseSettingsTab::FilePanelDone done)
{
    auto* dialog = new QFileDialog(host, request.message, request.directory);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setNameFilters(request.nameFilters);
    if (request.save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setDefaultSuffix(QStringLiteral("csv"));
        dialog->selectFile(request.proposedName);
    } else {
        dialog->setFileMode(QFileDialog::ExistingFile);
    }
    QObject::connect(dialog, &QFileDialog::finished, host, [dialog, done](int result) {
        const QStringList chosen = dialog->selectedFiles();
        done(result == QDialog::Accepted && !chosen.isEmpty() ? std::optional(chosen.first())
                                                              : std::nullopt);
    });
    dialog->open();
}

QToolButton* symbolButton(
    const QString& symbol, const QString& themeIcon, const QString& help, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setIcon(SettingsTabs::symbolIcon(symbol, themeIcon));
    button->setToolTip(help);
    button->setAccessibleName(help);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

// True when items is not empty and every item is visible.
template<typename T>
bool allVisible(const QList<T>& items)
{
    return !items.isEmpty() &&
        std::all_of(items.cbegin(), items.cend(), [](const T& item) { return item.isVisible; });
}

} // namespace

} // namespace FixedPhraseSettings

using namespace FixedPhraseSettings;

FixedPhraseSettingsTab::FixedPhraseSettingsTab(FixedPhraseModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_selection(new FixedPhraseSelection(model, this))
    , m_presentFilePanel([this](const FilePanelRequest& request, FilePanelDone done) {
        presentWithDialog(window(), request, std::move(done));
    })
{
    QVBoxLayout* column = SettingsForm::column(this);
    auto* top = new QHBoxLayout;
    top->addWidget(SettingsForm::heading(QStringLiteral("定型文"), this));
    top->addStretch();
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("fixedPhraseTransferProgress"));
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->setFixedWidth(fontMetrics().height() * 4);
    m_progress->setMaximumHeight(fontMetrics().height() / 2 + 2);
    m_progress->setAccessibleName(QStringLiteral("転送中"));
    top->addWidget(m_progress);
    m_import = new QPushButton(QStringLiteral("インポート"), this);
    m_import->setObjectName(QStringLiteral("importFixedPhrasesButton"));
    m_export = new QPushButton(QStringLiteral("エクスポート"), this);
    m_export->setObjectName(QStringLiteral("exportFixedPhrasesButton"));
    top->addWidget(m_import);
    top->addWidget(m_export);
    column->addLayout(top);
    m_status = SettingsForm::caption(QString(), this);
    m_status->setObjectName(QStringLiteral("fixedPhraseStatus"));
    column->addWidget(m_status);

    m_folderRows = new RowListModel(
        SettingsTabs::symbolIcon(QStringLiteral("folder.fill"), QStringLiteral("folder")), this);
    m_phraseRows = new RowListModel(
        SettingsTabs::symbolIcon(QStringLiteral("doc.text"), QStringLiteral("text-x-generic")),
        this);
    auto* panes = new QHBoxLayout;
    m_folderPane = makeListPane(QStringLiteral("分類:"), m_folderRows, m_folderList, m_allFolders,
        m_folderButtons,
        {QStringLiteral("フォルダを追加"), QStringLiteral("フォルダを削除"),
            QStringLiteral("フォルダを上へ移動"), QStringLiteral("フォルダを下へ移動")},
        QStringLiteral("folder"));
    m_phrasePane = makeListPane(QStringLiteral("タイトル:"), m_phraseRows, m_phraseList,
        m_allPhrases, m_phraseButtons,
        {QStringLiteral("定型文を追加"), QStringLiteral("定型文を削除"),
            QStringLiteral("定型文を上へ移動"), QStringLiteral("定型文を下へ移動")},
        QStringLiteral("phrase"));
    panes->addWidget(m_folderPane);
    panes->addWidget(m_phrasePane);
    panes->addWidget(makeContentPane(), 1);
    column->addLayout(panes, 1);
    applyScale();

    FixedPhraseSelection& selection = *m_selection;
    connect(m_import, &QPushButton::clicked, this, [this] { importFixedPhrases(); });
    connect(m_export, &QPushButton::clicked, this, [this] { exportFixedPhrases(); });
    connect(m_allFolders, &QCheckBox::clicked, &model,
        [&model](bool on) { model.setAllFoldersVisible(on); });
    connect(m_allPhrases, &QCheckBox::clicked, &model, [&model, &selection](bool on) {
        if (const auto folder = selection.selectedFolder()) {
            model.setAllPhrasesVisible(folder->id, on);
        }
    });
    m_folderRows->onVisibilityChange = [&model](const QUuid& id, bool on) {
        model.setFolderVisible(id, on);
    };
    m_phraseRows->onVisibilityChange = [&model, &selection](const QUuid& id, bool on) {
        if (const auto folder = selection.selectedFolder()) {
            model.setPhraseVisible(folder->id, id, on);
        }
    };
    m_folderRows->onDrop = [&selection](const QSet<int>& offsets, int toOffset) {
        selection.dropFolders(offsets, toOffset);
    };
    m_phraseRows->onDrop = [&selection](const QSet<int>& offsets, int toOffset) {
        selection.dropPhrases(offsets, toOffset);
    };
    const auto click = [this](QToolButton* button, auto action) {
        connect(button, &QToolButton::clicked, m_selection, action);
    };
    click(m_folderButtons[0], [&selection] { selection.addFolder(); });
    click(m_folderButtons[1], [&selection] { selection.removeSelectedFolders(); });
    click(m_folderButtons[2], [&selection] { selection.moveSelectedFolder(-1); });
    click(m_folderButtons[3], [&selection] { selection.moveSelectedFolder(+1); });
    click(m_phraseButtons[0], [&selection] { selection.addPhrase(); });
    click(m_phraseButtons[1], [&selection] { selection.removeSelectedPhrases(); });
    click(m_phraseButtons[2], [&selection] { selection.moveSelectedPhrase(-1); });
    click(m_phraseButtons[3], [&selection] { selection.moveSelectedPhrase(+1); });

    connect(
        m_folderTitle, &QLineEdit::textEdited, &model, [&model, &selection](const QString& title) {
            if (const auto folder = selection.selectedFolder()) {
                model.updateFolderTitle(folder->id, title);
            }
        });
    const auto editPhrase = [&model, &selection](
                                std::optional<QString> title, std::optional<QString> content) {
        const auto folder = selection.selectedFolder();
        const auto phrase = selection.selectedPhrase();
        if (folder && phrase) {
            model.updatePhrase(folder->id, phrase->id, title, content);
        }
    };
    connect(m_phraseTitle, &QLineEdit::textEdited, &model,
        [editPhrase](const QString& title) { editPhrase(title, std::nullopt); });
    connect(m_content, &QPlainTextEdit::textChanged, &model, [this, editPhrase] {
        if (!m_showing) {
            editPhrase(std::nullopt, m_content->toPlainText());
        }
    });

    connect(&model, &FixedPhraseModel::foldersChanged, this, [this] { showState(); });
    connect(&model, &FixedPhraseModel::statusMessageChanged, this, [this] { showState(); });
    connect(
        &model, &FixedPhraseModel::isFileTransferInProgressChanged, this, [this] { showState(); });
    connect(m_selection, &FixedPhraseSelection::selectionChanged, this, [this] { showState(); });
    showState();
}

FixedPhraseSettingsTab::~FixedPhraseSettingsTab() = default;

QWidget* FixedPhraseSettingsTab::makeListPane(const QString& header, RowListModel* rows,
    QListView*& list, QCheckBox*& checkAll, QList<QToolButton*>& buttonList,
    const QStringList& helps, const QString& objectPrefix)
{
    auto* pane = new QWidget(this);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins({});
    layout->addWidget(SettingsForm::heading(header, pane));
    checkAll = SettingsForm::checkBox(QStringLiteral("Check All"), pane);
    checkAll->setObjectName(objectPrefix + QStringLiteral("CheckAll"));
    checkAll->setAccessibleDescription(header);
    layout->addWidget(checkAll);
    list = new QListView(pane);
    list->setObjectName(objectPrefix + QStringLiteral("List"));
    list->setAccessibleName(header);
    list->setModel(rows);
    list->setItemDelegate(new HandleDelegate(list));
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setUniformItemSizes(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setDragEnabled(true);
    list->setAcceptDrops(true);
    list->setDropIndicatorShown(true);
    list->setDragDropMode(QAbstractItemView::InternalMove);
    list->setDefaultDropAction(Qt::MoveAction);
    list->setMinimumHeight(fontMetrics().height() * 8);
    layout->addWidget(list, 1);
    QListView* view = list;
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        [this, view] { followListSelection(view); });
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    const QStringList symbols {QStringLiteral("plus"), QStringLiteral("minus"),
        QStringLiteral("arrow.up"), QStringLiteral("arrow.down")};
    const QStringList themeIcons {QStringLiteral("list-add"), QStringLiteral("list-remove"),
        QStringLiteral("go-up"), QStringLiteral("go-down")};
    const QStringList names {QStringLiteral("Add"), QStringLiteral("Remove"),
        QStringLiteral("MoveUp"), QStringLiteral("MoveDown")};
    for (int index = 0; index < 4; ++index) {
        QToolButton* button = symbolButton(symbols[index], themeIcons[index], helps[index], pane);
        button->setObjectName(objectPrefix + names[index] + QStringLiteral("Button"));
        if (index == 2) {
            buttons->addStretch();
        }
        buttons->addWidget(button);
        buttonList.append(button);
    }
    layout->addLayout(buttons);
    return pane;
}

QWidget* FixedPhraseSettingsTab::makeContentPane()
{
    auto* pane = new QWidget(this);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins({});
    layout->addWidget(SettingsForm::heading(QStringLiteral("内容:"), pane));
    m_folderTitle = new QLineEdit(pane);
    m_folderTitle->setObjectName(QStringLiteral("folderTitleField"));
    m_folderTitle->setPlaceholderText(QStringLiteral("フォルダ名"));
    m_folderTitle->setAccessibleName(QStringLiteral("フォルダ名"));
    m_phraseTitle = new QLineEdit(pane);
    m_phraseTitle->setObjectName(QStringLiteral("phraseTitleField"));
    m_phraseTitle->setPlaceholderText(QStringLiteral("タイトル"));
    m_phraseTitle->setAccessibleName(QStringLiteral("タイトル"));
    m_content = new QPlainTextEdit(pane);
    m_content->setObjectName(QStringLiteral("phraseContentEditor"));
    m_content->setAccessibleName(QStringLiteral("内容"));
    m_content->setTabChangesFocus(true);
    m_emptyNote = SettingsForm::caption(QStringLiteral("フォルダと定型文を追加してください"), pane);
    m_emptyNote->setObjectName(QStringLiteral("fixedPhraseEmptyNote"));
    layout->addWidget(m_folderTitle);
    layout->addWidget(m_phraseTitle);
    layout->addWidget(m_content, 1);
    layout->addWidget(m_emptyNote);
    layout->addStretch(0);
    return pane;
}

void FixedPhraseSettingsTab::setFilePanelPresenter(FilePanelPresenter presenter)
{
    m_presentFilePanel = std::move(presenter);
}

bool FixedPhraseSettingsTab::canStartTransfer() const
{
    return !m_filePanelActive && !m_model.isFileTransferInProgress();
}

void FixedPhraseSettingsTab::importFixedPhrases()
{
    if (!canStartTransfer()) {
        return;
    }
    FilePanelRequest request;
    request.message = importMessage;
    request.directory = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    request.nameFilters = importFilters;
    presentFilePanel(request, [this](std::optional<QString> path) {
        if (path) {
            m_model.importCSV(*path);
        }
    });
}

void FixedPhraseSettingsTab::exportFixedPhrases()
{
    if (!canStartTransfer()) {
        return;
    }
    FilePanelRequest request;
    request.save = true;
    request.message = exportMessage;
    request.directory = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    request.proposedName = exportFileName;
    request.nameFilters = exportFilters;
    presentFilePanel(request, [this](std::optional<QString> path) {
        if (path) {
            m_model.exportCSV(*path);
        }
    });
}

void FixedPhraseSettingsTab::presentFilePanel(const FilePanelRequest& request, FilePanelDone done)
{
    m_filePanelActive = true;
    showButtons();
    QPointer<FixedPhraseSettingsTab> self(this);
    m_presentFilePanel(request, [self, done](std::optional<QString> path) {
        if (self) {
            self->m_filePanelActive = false;
            self->showButtons();
            done(std::move(path));
        }
    });
}

void FixedPhraseSettingsTab::followListSelection(QListView* list)
{
    if (m_showing) {
        return;
    }
    auto* rows = static_cast<RowListModel*>(list->model());
    QSet<QUuid> ids;
    for (const QModelIndex& index : list->selectionModel()->selectedIndexes()) {
        ids.insert(rows->idAt(index.row()));
    }
    if (list == m_folderList) {
        m_selection->setSelectedFolderIDs(ids);
    } else {
        m_selection->setSelectedPhraseIDs(ids);
    }
}

void FixedPhraseSettingsTab::showState()
{
    const QScopedValueRollback showing(m_showing, true);
    const std::optional<QString> status = m_model.statusMessage();
    m_status->setText(status.value_or(QString()));
    m_status->setVisible(status.has_value());
    m_progress->setVisible(m_model.isFileTransferInProgress());
    showRows();
    showListSelection();
    showContent();
    showButtons();
}

void FixedPhraseSettingsTab::showRows()
{
    const FixedPhraseFolderList& folders = m_model.folders();
    const std::optional<FixedPhraseFolder> folder = m_selection->selectedFolder();
    const QList<FixedPhrase> phrases = folder ? folder->phrases : QList<FixedPhrase> {};
    m_folderRows->setRows(folders);
    m_phraseRows->setRows(phrases);
    m_allFolders->setChecked(allVisible(folders));
    m_allPhrases->setChecked(allVisible(phrases));
    m_allPhrases->setEnabled(folder.has_value());
}

void FixedPhraseSettingsTab::showListSelection()
{
    const auto select = [](QListView* list, const QSet<QUuid>& ids,
                            const std::optional<QUuid>& current) {
        auto* rows = static_cast<RowListModel*>(list->model());
        QItemSelection selected;
        QModelIndex currentIndex;
        for (int row = 0; row < rows->rowCount(); ++row) {
            const QUuid id = rows->idAt(row);
            if (ids.contains(id)) {
                selected.select(rows->index(row), rows->index(row));
            }
            if (current == id) {
                currentIndex = rows->index(row);
            }
        }
        QItemSelectionModel* model = list->selectionModel();
        if (model->selection() != selected) {
            model->select(selected, QItemSelectionModel::ClearAndSelect);
        }
        if (currentIndex.isValid() && model->currentIndex() != currentIndex) {
            model->setCurrentIndex(currentIndex, QItemSelectionModel::NoUpdate);
        }
    };
    select(m_folderList, m_selection->selectedFolderIDs(), m_selection->selectedFolderID());
    select(m_phraseList, m_selection->selectedPhraseIDs(), m_selection->selectedPhraseID());
}

void FixedPhraseSettingsTab::showContent()
{
    const auto show = [](QLineEdit* field, const QString& text) {
        if (field->text() != text) {
            field->setText(text);
        }
    };
    const std::optional<FixedPhraseFolder> folder = m_selection->selectedFolder();
    const std::optional<FixedPhrase> phrase = m_selection->selectedPhrase();
    m_folderTitle->setVisible(folder.has_value());
    show(m_folderTitle, folder ? folder->title : QString());
    m_phraseTitle->setVisible(phrase.has_value());
    m_content->setVisible(phrase.has_value());
    m_emptyNote->setVisible(!phrase.has_value());
    show(m_phraseTitle, phrase ? phrase->title : QString());
    const QString content = phrase ? phrase->content : QString();
    if (m_content->toPlainText() != content) {
        m_content->setPlainText(content);
    }
}

void FixedPhraseSettingsTab::showButtons()
{
    const bool idle = canStartTransfer();
    m_import->setEnabled(idle);
    m_export->setEnabled(idle);
    const FixedPhraseSelection& selection = *m_selection;
    m_folderButtons[1]->setEnabled(selection.canRemoveFolders());
    m_folderButtons[2]->setEnabled(selection.canMoveSelectedFolder(-1));
    m_folderButtons[3]->setEnabled(selection.canMoveSelectedFolder(+1));
    m_phraseButtons[0]->setEnabled(selection.selectedFolder().has_value());
    m_phraseButtons[1]->setEnabled(selection.canRemovePhrases());
    m_phraseButtons[2]->setEnabled(selection.canMoveSelectedPhrase(-1));
    m_phraseButtons[3]->setEnabled(selection.canMoveSelectedPhrase(+1));
}

void FixedPhraseSettingsTab::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && m_folderPane != nullptr) {
        applyScale();
    }
}

void FixedPhraseSettingsTab::applyScale()
{
    const double pixels = font().pointSizeF() > 0 ? font().pointSizeF() * logicalDpiY() / 72.0
                                                  : double(font().pixelSize());
    const double scale = pixels / standardTextPixels;
    m_folderPane->setFixedWidth(int(std::lround(folderPaneWidth * scale)));
    m_phrasePane->setFixedWidth(int(std::lround(phrasePaneWidth * scale)));
    // The status line in caption size, as the desktop writes notes under a control.
    QFont caption = font();
    caption.setPointSizeF(pixels * captionTextPixels / standardTextPixels * 72.0 / logicalDpiY());
    m_status->setFont(caption);
    const int icon = int(std::lround(standardIconSize * scale));
    for (QAbstractItemView* list : {m_folderList, m_phraseList}) {
        list->setIconSize(QSize(icon, icon));
    }
    for (QToolButton* button : m_folderButtons + m_phraseButtons) {
        button->setIconSize(QSize(icon, icon));
    }
}
