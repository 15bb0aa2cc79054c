#include "WindowPlacementSettingsTab.h"

#include "SettingsForm.h"
#include "SettingsRows.h"
#include "ShortcutRecorderRow.h"
#include "SystemSettingsPanes.h"
#include "placement/WindowPlacementModel.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int triggerCaptionIndent = 20;
constexpr int recorderCaptionIndent = 128;
constexpr int windowListMinimumHeight = 180;
constexpr int windowListMaximumHeight = 220;
constexpr int rulesMinimumHeight = 140;
constexpr int emptyTextPadding = 8;
constexpr int rowPadding = 4;
constexpr int rowSpacing = 10;
const QColor warningColour(0xe6, 0x7e, 0x00);

} // namespace

WindowPlacementSettingsTab::WindowPlacementSettingsTab(
    WindowPlacementModel& model, Scheduler& scheduler, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
{
    QVBoxLayout* column = SettingsForm::column(this);
    column->addWidget(SettingsForm::heading(QStringLiteral("ウィンドウ固定"), this));
    column->addWidget(SettingsForm::caption(
        QStringLiteral("登録内容はモニタ構成ごとに記憶します。画面の枚数・並び順・解像度が変わる"
                       "と別の構成として扱われるため、その構成では改めて登録が必要です（元の構成"
                       "に戻せば以前の登録も戻ります）。"),
        this));
    addSwitches(column);
    addRecorder(column, scheduler);
    addStatus(column);
    addRegistration(column);
    addRules(column);

    showState();
    showAvailableWindows();
    showRules();
    connect(&model, &WindowPlacementModel::settingsChanged, this, [this] { showState(); });
    // The permission flag changes only together with the status line.
    connect(&model, &WindowPlacementModel::statusMessageChanged, this, [this] { showState(); });
    connect(&model, &WindowPlacementModel::monitorConfigurationChanged, this, [this] {
        showState();
        showRules();
    });
    connect(&model, &WindowPlacementModel::availableWindowsChanged, this,
        [this] { showAvailableWindows(); });
    connect(&model, &WindowPlacementModel::rulesChanged, this, [this] { showRules(); });
}

QString WindowPlacementSettingsTab::ruleText(const WindowPlacementRule& rule)
{
    RunningWindowSnapshot shown;
    shown.windowTitle = rule.windowTitle;
    const WindowRect& frame = rule.targetFrame;
    shown.bounds = QRectF(frame.x, frame.y, std::abs(frame.width), std::abs(frame.height));
    return rule.appName + QStringLiteral(" / ") + shown.detailLine();
}

void WindowPlacementSettingsTab::addSwitches(QVBoxLayout* column)
{
    const auto addSwitch = [&](const QString& text, const QString& name, const QString& help) {
        QCheckBox* box = SettingsForm::checkBox(text, this);
        box->setObjectName(name);
        column->addWidget(box);
        if (!help.isEmpty()) {
            box->setToolTip(help);
            column->addWidget(SettingsForm::indentedCaption(help, triggerCaptionIndent, this));
        }
        return box;
    };
    m_enabled = addSwitch(QStringLiteral("ウィンドウ固定を有効化"),
        QStringLiteral("windowPlacementEnabledToggle"), QString());
    m_reapplyOnWake = addSwitch(QStringLiteral("スクリーンセイバー・ロックからの復帰時にも適用"),
        QStringLiteral("reapplyOnWakeToggle"),
        QStringLiteral(
            "オフの場合はアプリ起動時・対象アプリ起動時・モニタ構成変更時のみ適用します"));
    m_frequentStartup = addSwitch(QStringLiteral("起動直後は毎秒ウィンドウ固定を再適用（10秒間）"),
        QStringLiteral("frequentStartupReapplyToggle"),
        QStringLiteral("再起動直後は起動タイミングのばらつきで固定に失敗する場合があるため、10秒間"
                       "毎秒再試行します"));
    connect(
        m_enabled, &QCheckBox::clicked, &m_model, &WindowPlacementModel::setWindowPlacementEnabled);
    connect(m_reapplyOnWake, &QCheckBox::clicked, &m_model,
        &WindowPlacementModel::setReapplyOnWakeEnabled);
    connect(m_frequentStartup, &QCheckBox::clicked, &m_model,
        &WindowPlacementModel::setFrequentStartupReapplyEnabled);
}

void WindowPlacementSettingsTab::addRecorder(QVBoxLayout* column, Scheduler& scheduler)
{
    QVBoxLayout* group = SettingsForm::group(QStringLiteral("ショートカット"), column, this);
    m_recorder = new ShortcutRecorderRow(QStringLiteral("今すぐ適用"), scheduler, this);
    m_recorder->setObjectName(QStringLiteral("applyShortcutRecorder"));
    group->addWidget(m_recorder);
    group->addWidget(SettingsForm::indentedCaption(
        QStringLiteral("登録済みのウィンドウ位置をその場で適用します。"), recorderCaptionIndent,
        this));
    m_recorder->setShortcut(m_model.applyShortcut());
    connect(&m_model, &WindowPlacementModel::applyShortcutChanged, m_recorder,
        [this] { m_recorder->setShortcut(m_model.applyShortcut()); });
    // Recording the shortcut already held changes nothing, so the global shortcuts are not
    // set up again for it.
    connect(m_recorder, &ShortcutRecorderRow::shortcutEdited, &m_model,
        [this](const std::optional<LeftClickShortcut>& shortcut) {
            if (shortcut != m_model.applyShortcut()) {
                m_model.setApplyShortcut(shortcut);
            }
        });
    connect(m_recorder, &ShortcutRecorderRow::recordingActiveChanged, this,
        &WindowPlacementSettingsTab::shortcutRecorderActiveChanged);
}

void WindowPlacementSettingsTab::addStatus(QVBoxLayout* column)
{
    m_status = SettingsForm::statusLine(this);
    m_status->setObjectName(QStringLiteral("windowPlacementStatusText"));
    column->addWidget(m_status);
    m_monitor = SettingsForm::caption(QString(), this);
    m_monitor->setObjectName(QStringLiteral("currentMonitorText"));
    column->addWidget(m_monitor);

    m_permission = new QWidget(this);
    auto* row = new QHBoxLayout(m_permission);
    row->setContentsMargins({});
    auto* note =
        new QLabel(QStringLiteral("ウィンドウ移動・サイズ変更にはアクセシビリティ権限が必要です"),
            m_permission);
    note->setWordWrap(true);
    QPalette palette = note->palette();
    palette.setColor(QPalette::WindowText, warningColour);
    note->setPalette(palette);
    row->addWidget(note, 1, Qt::AlignBaseline);
    if (QPushButton* open = SystemSettingsPanes::openButton(
            QStringLiteral("アクセシビリティ設定を開く"), SystemSettingsPanes::Pane::Accessibility,
            QStringLiteral("openAccessibilitySettingsButton"), m_permission)) {
        row->addWidget(open, 0, Qt::AlignBaseline);
    }
    column->addWidget(m_permission);
}

void WindowPlacementSettingsTab::addRegistration(QVBoxLayout* column)
{
    QVBoxLayout* group =
        SettingsForm::group(QStringLiteral("稼働中ウィンドウから登録"), column, this);
    auto* reload = SettingsForm::button(
        QStringLiteral("再読み込み"), QStringLiteral("refreshAvailableWindowsButton"), this);
    m_register = SettingsForm::button(QStringLiteral("選択ウィンドウを登録"),
        QStringLiteral("registerSelectedWindowButton"), this);
    SettingsForm::addButtonRow(group, {reload, m_register});
    m_windows = new QListWidget(this);
    m_windows->setObjectName(QStringLiteral("availableWindowsList"));
    m_windows->setAccessibleName(QStringLiteral("稼働中ウィンドウから登録"));
    m_windows->setSelectionMode(QAbstractItemView::SingleSelection);
    m_windows->setTextElideMode(Qt::ElideRight);
    m_windows->setWordWrap(false);
    m_windows->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_windows->setMinimumHeight(windowListMinimumHeight);
    m_windows->setMaximumHeight(windowListMaximumHeight);
    group->addWidget(m_windows);
    connect(
        reload, &QPushButton::clicked, &m_model, &WindowPlacementModel::refreshAvailableWindows);
    connect(
        m_register, &QPushButton::clicked, &m_model, &WindowPlacementModel::registerSelectedWindow);
    connect(m_windows, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> selected = m_windows->selectedItems();
        m_model.setSelectedAvailableWindowID(selected.isEmpty()
                ? std::nullopt
                : std::optional<QString>(selected.first()->data(Qt::UserRole).toString()));
        m_register->setEnabled(m_model.selectedAvailableWindowID().has_value());
    });
}

void WindowPlacementSettingsTab::addRules(QVBoxLayout* column)
{
    QVBoxLayout* group = SettingsForm::group(QStringLiteral("このモニタ構成の登録"), column, this);
    auto* apply =
        SettingsForm::button(QStringLiteral("今すぐ適用"), QStringLiteral("applyNowButton"), this);
    auto* refresh = SettingsForm::button(
        QStringLiteral("一覧を更新"), QStringLiteral("refreshRulesButton"), this);
    SettingsForm::addButtonRow(group, {apply, refresh});
    m_noRules = new QLabel(QStringLiteral("このモニタ構成にはまだ登録がありません"), this);
    m_noRules->setObjectName(QStringLiteral("noRulesText"));
    m_noRules->setContentsMargins(
        emptyTextPadding, emptyTextPadding, emptyTextPadding, emptyTextPadding);
    group->addWidget(m_noRules);
    m_rulesArea = new QScrollArea(this);
    m_rulesArea->setObjectName(QStringLiteral("rulesList"));
    m_rulesArea->setWidgetResizable(true);
    m_rulesArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_rulesArea->setMinimumHeight(rulesMinimumHeight);
    m_rulesArea->setFocusPolicy(Qt::NoFocus); // Tab goes to the rows' buttons, which it scrolls to
    auto* rows = new QWidget(m_rulesArea);
    m_rules = new QVBoxLayout(rows);
    m_rules->setSpacing(0);
    m_rules->addStretch();
    m_rulesArea->setWidget(rows);
    group->addWidget(m_rulesArea, 1);
    column->setStretchFactor(group->parentWidget(), 1);
    connect(apply, &QPushButton::clicked, &m_model, &WindowPlacementModel::applyNow);
    connect(refresh, &QPushButton::clicked, &m_model, &WindowPlacementModel::refresh);
}

void WindowPlacementSettingsTab::showState()
{
    const bool enabled = m_model.windowPlacementEnabled();
    m_enabled->setChecked(enabled);
    m_reapplyOnWake->setChecked(m_model.reapplyOnWakeEnabled());
    m_reapplyOnWake->setEnabled(enabled);
    m_frequentStartup->setChecked(m_model.frequentStartupReapplyEnabled());
    m_frequentStartup->setEnabled(enabled);
    SettingsForm::showStatus(m_status, m_model.statusMessage());
    m_monitor->setText(QStringLiteral("現在のモニタ構成: ") + m_model.currentMonitorDescription());
    m_permission->setVisible(m_model.requiresAccessibilityPermission());
}

void WindowPlacementSettingsTab::showAvailableWindows()
{
    const QSignalBlocker block(m_windows);
    m_windows->clear();
    const std::optional<QString>& selected = m_model.selectedAvailableWindowID();
    for (const RunningWindowSnapshot& window : m_model.availableWindows()) {
        auto* item =
            new QListWidgetItem(window.appName + QStringLiteral(" / ") + window.detailLine());
        item->setData(Qt::UserRole, window.id);
        m_windows->addItem(item);
        if (selected == window.id) {
            m_windows->setCurrentItem(item);
        }
    }
    m_register->setEnabled(selected.has_value());
}

void WindowPlacementSettingsTab::showRules()
{
    // Rows go later: the click that removed a rule is still being delivered to its button.
    while (m_rules->count() > 1) {
        QLayoutItem* item = m_rules->takeAt(0);
        item->widget()->hide();
        item->widget()->deleteLater();
        delete item;
    }
    const QList<WindowPlacementRule> rules = m_model.rulesForCurrentMonitor();
    m_noRules->setVisible(rules.isEmpty());
    m_rulesArea->setVisible(!rules.isEmpty());
    QWidget* rows = m_rulesArea->widget();
    for (qsizetype index = 0; index < rules.size(); ++index) {
        if (index > 0) {
            auto* divider = new QFrame(rows);
            divider->setFrameShape(QFrame::HLine);
            divider->setFrameShadow(QFrame::Sunken);
            m_rules->insertWidget(m_rules->count() - 1, divider);
            divider->show();
        }
        const WindowPlacementRule& rule = rules.at(index);
        auto* row = new QWidget(rows);
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, rowPadding, 0, rowPadding);
        layout->setSpacing(rowSpacing);
        auto* text = new ElidedLabel(row);
        text->setText(ruleText(rule));
        layout->addWidget(text, 1);
        QPushButton* remove = SettingsForm::destructiveButton(
            QStringLiteral("削除"), QStringLiteral("removeRuleButton"), row);
        remove->setAccessibleDescription(text->text());
        layout->addWidget(remove);
        connect(remove, &QPushButton::clicked, &m_model,
            [this, id = rule.id] { m_model.removeRule(id); });
        m_rules->insertWidget(m_rules->count() - 1, row);
        // Shown at once rather than on the layout's next turn: the list is complete as soon as
        // the model's signal has been handled.
        row->show();
    }
}
