#include "FixedPhraseHoverPanel.h"

#include "FixedPhraseHoverPanelColumn.h"
#include "QuickPanelKeyTables.h"
#include "phrases/FixedPhraseModel.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QPainter>

#include <algorithm>
#include <functional>

// Outside any namespace, as Q_INIT_RESOURCE requires.
static void initFloatingPanelResources()
{
    Q_INIT_RESOURCE(floatingpanels);
}

namespace {

constexpr double folderColumnWidth = 160;
constexpr double titleColumnWidth = 270;

// Theme icons where the desktop has them; the bundled drawings keep a bare desktop the same.
QIcon themedIcon(const QString& name)
{
    static const bool registered = (initFloatingPanelResources(), true);
    Q_UNUSED(registered);
    return QIcon::fromTheme(name, QIcon(QStringLiteral(":/floatingpanels/%1.svg").arg(name)));
}

template<typename T>
QList<FixedPhraseHoverPanelColumn::Row> rowsOf(
    const QList<T>& entries, const std::function<QString(const T&)>& toolTip)
{
    QList<FixedPhraseHoverPanelColumn::Row> rows;
    rows.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const T& entry = entries.at(i);
        rows.append({entry.id, QuickPanelKeys::label(i), entry.title, toolTip(entry)});
    }
    return rows;
}

} // namespace

FixedPhraseHoverPanel::FixedPhraseHoverPanel(const FixedPhraseModel& model,
    FixedPhrasePanelSelection& selection, double uiScale, QWidget* parent)
    : QWidget(parent)
    , m_selection(&selection)
{
    QFont base = font();
    base.setPixelSize(std::max(1, qRound(13 * uiScale)));
    setFont(base);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_folders = new FixedPhraseHoverPanelColumn(
        QStringLiteral("分類"), themedIcon(QStringLiteral("folder")), uiScale, this);
    m_folders->setFixedWidth(qRound(folderColumnWidth * uiScale));
    m_titles = new FixedPhraseHoverPanelColumn(
        QStringLiteral("タイトル"), themedIcon(QStringLiteral("text-x-generic")), uiScale, this);
    m_titles->setFixedWidth(qRound(titleColumnWidth * uiScale));
    layout->addWidget(m_folders);
    layout->addWidget(m_titles);
    layout->addStretch();

    connect(m_folders, &FixedPhraseHoverPanelColumn::rowClicked, this,
        &FixedPhraseHoverPanel::folderClicked);
    connect(m_titles, &FixedPhraseHoverPanelColumn::rowClicked, this,
        &FixedPhraseHoverPanel::phraseRowClicked);
    connect(&model, &FixedPhraseModel::foldersChanged, this, [this] {
        reloadFolders();
        reloadTitles();
        showSelection();
    });
    connect(&selection, &FixedPhrasePanelSelection::selectionChanged, this,
        &FixedPhraseHoverPanel::showSelection);
    connect(&selection, &FixedPhrasePanelSelection::titleColumnVisibilityChanged, this,
        &FixedPhraseHoverPanel::showSelection);
    reloadFolders();
    showSelection();
}

void FixedPhraseHoverPanel::reloadFolders()
{
    const FixedPhraseFolderList folders =
        m_selection ? m_selection->folders() : FixedPhraseFolderList();
    m_folders->setRows(
        rowsOf<FixedPhraseFolder>(folders, [](const FixedPhraseFolder&) { return QString(); }),
        QStringLiteral("未表示"));
}

void FixedPhraseHoverPanel::reloadTitles()
{
    m_listedFolderID = m_selection ? m_selection->selectedFolderID() : std::nullopt;
    const QString caption =
        m_listedFolderID ? QStringLiteral("項目はありません") : QStringLiteral("未登録");
    const QList<FixedPhrase> phrases =
        m_selection ? m_selection->phrasesOfSelectedFolder() : QList<FixedPhrase>();
    m_titles->setRows(
        rowsOf<FixedPhrase>(phrases, [](const FixedPhrase& phrase) { return phrase.content; }),
        caption);
}

void FixedPhraseHoverPanel::showSelection()
{
    const std::optional<QUuid> folderID =
        m_selection ? m_selection->selectedFolderID() : std::nullopt;
    if (folderID != m_listedFolderID) {
        reloadTitles();
    }
    m_folders->setHighlighted(folderID);
    m_titles->setHighlighted(m_selection ? m_selection->selectedPhraseID() : std::nullopt);
    m_titles->setVisible(m_selection && m_selection->titleColumnVisible());
}

void FixedPhraseHoverPanel::folderClicked(const QUuid& id)
{
    if (m_selection) {
        m_selection->selectFolder(id, true);
    }
}

void FixedPhraseHoverPanel::phraseRowClicked(const QUuid& id)
{
    if (!m_selection) {
        return;
    }
    const QList<FixedPhrase> phrases = m_selection->phrasesOfSelectedFolder();
    const auto phrase = std::find_if(phrases.cbegin(), phrases.cend(),
        [&id](const FixedPhrase& entry) { return entry.id == id; });
    if (phrase != phrases.cend()) {
        m_selection->selectPhrase(id);
        Q_EMIT phraseClicked(*phrase);
    }
}

void FixedPhraseHoverPanel::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    Q_EMIT hoverChanged(true);
}

void FixedPhraseHoverPanel::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    Q_EMIT hoverChanged(false);
}

// The line between the columns.
void FixedPhraseHoverPanel::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (!m_titles->isVisible()) {
        return;
    }
    QPainter painter(this);
    QColor line = palette().color(QPalette::WindowText);
    line.setAlphaF(0.15F);
    painter.setPen(line);
    const int x = m_titles->geometry().left();
    painter.drawLine(x, 0, x, height());
}
