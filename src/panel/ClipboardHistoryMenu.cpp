#include "ClipboardHistoryMenu.h"

#include "ClipboardHistoryListModel.h"
#include "ClipboardHistoryMenuViewModel.h"
#include "ClipboardHistoryRow.h"
#include "ClipboardImageHistoryGrid.h"
#include "ClipboardImageHistoryGridItem.h"
#include "FixedPhraseLauncherRow.h"
#include "FixedPhraseSearchListModel.h"
#include "FixedPhraseSearchRow.h"
#include "QuickPanelKeyboardMonitor.h"
#include "QuickPanelSearchBar.h"
#include "QuickPanelSection.h"
#include "QuickPanelStyle.h"
#include "QuickPanelSymbols.h"
#include "platform/KeyCodes.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int margin = 12;

QFrame* divider()
{
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, QuickPanelStyle::divider(palette));
    line->setPalette(palette);
    return line;
}

// The lists keep no focus (it stays in the search field), draw on the window's background and
// track the pointer for their hover highlight.
void configureListView(QListView* view)
{
    view->setFocusPolicy(Qt::NoFocus);
    view->setFrameShape(QFrame::NoFrame);
    view->setSelectionMode(QAbstractItemView::NoSelection);
    view->setMouseTracking(true);
    view->viewport()->setAttribute(Qt::WA_Hover);
    view->viewport()->setAutoFillBackground(false);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setUniformItemSizes(true);
}

QString historySectionTitle(ClipboardHistoryKind kind)
{
    switch (kind) {
    case ClipboardHistoryKind::Text:
        return QStringLiteral("テキスト");
    case ClipboardHistoryKind::Url:
        return QStringLiteral("URL");
    case ClipboardHistoryKind::Image:
        break;
    }
    return QStringLiteral("画像");
}

// The selection glides to the middle of its list in a short ease-out; a further move while it
// glides sets out again from where the list is.
void scrollToCentre(QAbstractItemView* view, const QModelIndex& index)
{
    QScrollBar* bar = view->verticalScrollBar();
    const int target = std::clamp(
        bar->value() + view->visualRect(index).center().y() - view->viewport()->rect().center().y(),
        bar->minimum(), bar->maximum());
    auto* glide = bar->findChild<QPropertyAnimation*>(QString(), Qt::FindDirectChildrenOnly);
    if (!glide) {
        glide = new QPropertyAnimation(bar, "value", bar);
        glide->setDuration(80);
        glide->setEasingCurve(QEasingCurve::OutCubic);
    }
    glide->stop();
    glide->setStartValue(bar->value());
    glide->setEndValue(target);
    glide->start();
}

constexpr ClipboardHistoryKind historyKinds[] = {
    ClipboardHistoryKind::Text, ClipboardHistoryKind::Url, ClipboardHistoryKind::Image};

} // namespace

ClipboardHistoryMenu::ClipboardHistoryMenu(ClipboardHistoryMenuViewModel& menu, QWidget* parent)
    : QWidget(parent)
    , m_menu(menu)
{
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    m_searchBar = new QuickPanelSearchBar(menu);
    installKeyboardMonitors();
    m_launcher = new FixedPhraseLauncherRow;
    connect(m_launcher, &FixedPhraseLauncherRow::hoverChanged, this,
        &ClipboardHistoryMenu::launcherHoverChanged);
    connect(m_launcher, &FixedPhraseLauncherRow::globalFrameChanged, this,
        &ClipboardHistoryMenu::launcherGlobalFrameChanged);

    auto* content = new QVBoxLayout;
    content->setContentsMargins(margin, 4, margin, 10);
    content->setSpacing(4);
    content->addWidget(m_launcher);
    for (const ClipboardHistoryKind kind : historyKinds) {
        if (kind != ClipboardHistoryKind::Text) {
            m_sectionDividers.append(divider());
            content->addWidget(m_sectionDividers.last());
        }
        content->addWidget(buildHistorySection(kind));
    }
    content->addWidget(buildFixedPhraseSection(), 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    layout->addWidget(divider());
    layout->addWidget(m_searchBar);
    layout->addLayout(content);
    layout->addStretch();

    connect(&menu, &ClipboardHistoryMenuViewModel::searchTextChanged, this, [this] {
        applyScope();
        refreshTexts();
    });
    connect(&menu, &ClipboardHistoryMenuViewModel::resultsChanged, this,
        &ClipboardHistoryMenu::refreshTexts);
    connect(&menu, &ClipboardHistoryMenuViewModel::layoutChanged, this,
        &ClipboardHistoryMenu::applyLayout);
    connect(&menu, &ClipboardHistoryMenuViewModel::selectedHistoryItemIDChanged, this,
        &ClipboardHistoryMenu::scrollToSelectedHistoryItem);
    connect(&menu, &ClipboardHistoryMenuViewModel::selectedFixedPhraseIDChanged, this,
        &ClipboardHistoryMenu::scrollToSelectedFixedPhrase);
    connect(&menu, &ClipboardHistoryMenuViewModel::searchFieldFocusedChanged, this,
        &ClipboardHistoryMenu::followSearchFieldFocus);
    applyScope();
    refreshTexts();
    applyLayout();
}

ClipboardHistoryMenu::~ClipboardHistoryMenu() = default;

QWidget* ClipboardHistoryMenu::buildHeader()
{
    auto* header = new QWidget;
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(margin, 10, margin, 8);
    layout->setSpacing(8);
    m_appSymbol = new QLabel;
    m_appSymbol->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_appSymbol);
    auto* names = new QVBoxLayout;
    names->setSpacing(0);
    m_appName = new QLabel(QStringLiteral("Norvale"));
    m_appState = new QLabel(QStringLiteral("バックグラウンドで動作中"));
    QPalette palette = m_appState->palette();
    palette.setColor(QPalette::WindowText, QuickPanelStyle::secondary(palette));
    m_appState->setPalette(palette);
    names->addWidget(m_appName);
    names->addWidget(m_appState);
    layout->addLayout(names);
    layout->addStretch();
    m_applyPlacement = new QPushButton(QStringLiteral("ウィンドウ位置適用"));
    m_applyPlacement->setToolTip(QStringLiteral("ウィンドウ固定で登録した位置を今すぐ適用"));
    m_applyPlacement->setFocusPolicy(Qt::NoFocus);
    m_applyPlacement->setEnabled(false);
    connect(m_applyPlacement, &QPushButton::clicked, this,
        &ClipboardHistoryMenu::applyWindowPlacementRequested);
    layout->addWidget(m_applyPlacement);
    return header;
}

QuickPanelSection* ClipboardHistoryMenu::buildHistorySection(ClipboardHistoryKind kind)
{
    auto* model = new ClipboardHistoryListModel(m_menu, kind, this);
    m_historyModels.insert(kind, model);
    QListView* view = nullptr;
    if (kind == ClipboardHistoryKind::Image) {
        m_gridItemDelegate = new ClipboardImageHistoryGridItem(m_menu, this);
        m_grid = new ClipboardImageHistoryGrid(*model, *m_gridItemDelegate);
        connect(m_grid, &ClipboardImageHistoryGrid::thumbnailHoverChanged, this,
            &ClipboardHistoryMenu::thumbnailHoverChanged);
        view = m_grid;
    } else {
        if (!m_rowDelegate) {
            m_rowDelegate = new ClipboardHistoryRow(m_menu, this);
        }
        view = new QListView;
        view->setModel(model);
        view->setItemDelegate(m_rowDelegate);
    }
    configureListView(view);
    auto* section = new QuickPanelSection(historySectionTitle(kind), view);
    m_historySections.insert(kind, section);
    return section;
}

QuickPanelSection* ClipboardHistoryMenu::buildFixedPhraseSection()
{
    m_fixedPhraseModel = new FixedPhraseSearchListModel(m_menu, this);
    m_fixedPhraseRowDelegate = new FixedPhraseSearchRow(m_menu, this);
    auto* view = new QListView;
    view->setModel(m_fixedPhraseModel);
    view->setItemDelegate(m_fixedPhraseRowDelegate);
    configureListView(view);
    m_fixedPhraseSection = new QuickPanelSection(QStringLiteral("定型文"), view);
    return m_fixedPhraseSection;
}

QLineEdit* ClipboardHistoryMenu::searchField() const
{
    return m_searchBar->field();
}

QuickPanelSection* ClipboardHistoryMenu::historySection(ClipboardHistoryKind kind) const
{
    return m_historySections.value(kind);
}

void ClipboardHistoryMenu::applyScope()
{
    const SearchScope scope = m_menu.searchScope();
    const QList<ClipboardHistoryKind> shown = m_menu.shownHistoryKinds();
    m_launcher->setVisible(scope == SearchScope::All);
    for (QWidget* line : std::as_const(m_sectionDividers)) {
        line->setVisible(scope == SearchScope::All);
    }
    for (const ClipboardHistoryKind kind : historyKinds) {
        m_historySections.value(kind)->setVisible(shown.contains(kind));
    }
    m_fixedPhraseSection->setVisible(scope == SearchScope::FixedPhrase);
}

void ClipboardHistoryMenu::refreshTexts()
{
    for (QuickPanelSection* section : std::as_const(m_historySections)) {
        section->setEmptyCaption(m_menu.historySectionEmptyCaption());
    }
    m_fixedPhraseSection->setEmptyCaption(m_menu.fixedPhraseSectionEmptyCaption());
    m_launcher->setDetail(m_menu.fixedPhraseLauncherDetail());
}

void ClipboardHistoryMenu::applyLayout()
{
    const double scale = m_menu.uiScale();
    setFont(QuickPanelStyle::font(QWidget::font(), 13 * scale));
    const int symbol = int(std::lround(19 * scale));
    m_appSymbol->setFixedSize(QSize(28, 28) * scale);
    m_appSymbol->setPixmap(QuickPanelSymbols::icon(QStringLiteral("square.stack.3d.up"))
                               .pixmap(QSize(symbol, symbol)));
    m_appName->setFont(QuickPanelStyle::font(font(), 13 * scale, QFont::DemiBold));
    m_appState->setFont(QuickPanelStyle::font(font(), 10 * scale));
    m_applyPlacement->setFont(QuickPanelStyle::font(font(), 11 * scale));
    m_searchBar->setUiScale(scale);
    m_launcher->setUiScale(scale);
    m_rowDelegate->setUiScale(scale);
    m_gridItemDelegate->setUiScale(scale);
    m_fixedPhraseRowDelegate->setUiScale(scale);
    for (const ClipboardHistoryKind kind : historyKinds) {
        QuickPanelSection* section = m_historySections.value(kind);
        section->setUiScale(scale, 12 * scale);
        section->setFixedHeight(int(std::lround(m_menu.sectionFrameHeight(kind))));
    }
    m_fixedPhraseSection->setUiScale(scale, 11 * scale);
    m_grid->relayout();
}

void ClipboardHistoryMenu::scrollToSelectedHistoryItem()
{
    const ClipboardHistoryKind kind = ClipboardHistorySearch::navigationKind(m_menu.searchScope());
    const ClipboardHistoryListModel* model = m_historyModels.value(kind);
    const int row = model->rowOf(m_menu.selectedHistoryItemID());
    if (row >= 0) {
        scrollToCentre(m_historySections.value(kind)->view(), model->index(row));
    }
}

void ClipboardHistoryMenu::scrollToSelectedFixedPhrase()
{
    const int row = m_fixedPhraseModel->rowOf(m_menu.selectedFixedPhraseID());
    if (row >= 0) {
        scrollToCentre(m_fixedPhraseSection->view(), m_fixedPhraseModel->index(row));
    }
}

void ClipboardHistoryMenu::followSearchFieldFocus()
{
    if (m_menu.searchFieldFocused()) {
        searchField()->setFocus(Qt::OtherFocusReason);
    } else if (searchField()->hasFocus()) {
        // No text field takes keys now: they reach the window, and the side panel's monitor.
        searchField()->clearFocus();
    }
}

void ClipboardHistoryMenu::installKeyboardMonitors()
{
    // The side panel's monitor is made last, so it is asked first while it is enabled; keys it
    // leaves go on to the search keys.
    new QuickPanelKeyboardMonitor(
        *this, QuickPanelKeyboardMonitor::Scope::SameWindow, [] { return true; },
        [this](QKeyEvent& event) { return searchKeyDown(event); }, this);
    new QuickPanelKeyboardMonitor(
        *this, QuickPanelKeyboardMonitor::Scope::AnyWindow,
        [this] {
            const FixedPhrasePanelSelection* selection = m_menu.fixedPhrasePanelSelection();
            return selection && selection->keyboardMode();
        },
        [this](QKeyEvent& event) { return fixedPhrasePanelKeyDown(event); }, this);
}

bool ClipboardHistoryMenu::searchKeyDown(QKeyEvent& event)
{
    // While an input method composes in the field, every key is the input method's.
    if (m_searchBar->isComposing()) {
        return false;
    }
    const auto code = canonicalKeyCode(event.key(), event.modifiers());
    return code && m_menu.handleSearchKeyDown(*code);
}

bool ClipboardHistoryMenu::fixedPhrasePanelKeyDown(QKeyEvent& event)
{
    const auto code = canonicalKeyCode(event.key(), event.modifiers());
    if (!code) {
        return false;
    }
    // Labels are the keys' own characters: Shift+1 still picks "1". Without a modifier the
    // event's text is that character in the user's layout.
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const QString unmodified = charactersIgnoringModifiers(*code);
    return m_menu.handleFixedPhrasePanelKeyDown(
        *code, modifiers == Qt::NoModifier || unmodified.isEmpty() ? event.text() : unmodified);
}

void ClipboardHistoryMenu::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_menu.fixedPhrasePanelSelection()) {
        searchField()->setFocus(Qt::OtherFocusReason);
    }
}

void ClipboardHistoryMenu::setWindowPlacementEnabled(bool enabled)
{
    m_applyPlacement->setEnabled(enabled);
}
