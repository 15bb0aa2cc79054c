#include "ClipboardMonitoringSettingsTab.h"

#include "SettingsForm.h"
#include "SettingsRows.h"
#include "clipboard/ClipboardHistoryModel.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

using IntGetter = int (ClipboardHistoryModel::*)() const;
using IntSetter = void (ClipboardHistoryModel::*)(int);
using BoolGetter = bool (ClipboardHistoryModel::*)() const;
using BoolSetter = void (ClipboardHistoryModel::*)(bool);
using Notifier = void (ClipboardHistoryModel::*)();

} // namespace

ClipboardMonitoringSettingsTab::ClipboardMonitoringSettingsTab(
    ClipboardHistoryModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
{
    QVBoxLayout* column = SettingsForm::column(this);
    const auto addCount = [&](const QString& title, int maximum, IntGetter get, IntSetter set,
                              Notifier changed) {
        auto* row = new HistoryCountControlRow(title, 1, maximum, this);
        column->addWidget(row);
        row->setValue((model.*get)());
        connect(&model, changed, row, [row, &model, get] { row->setValue((model.*get)()); });
        // The model may keep another value (clamped) or the same one: show what it kept.
        connect(
            row, &HistoryCountControlRow::valueEdited, &model, [row, &model, get, set](int value) {
                (model.*set)(value);
                row->setValue((model.*get)());
            });
    };
    const auto addCheck = [&](const QString& text, const QString& help, BoolGetter get,
                              BoolSetter set, Notifier changed) {
        QCheckBox* box = SettingsForm::checkBox(text, this);
        box->setToolTip(help);
        column->addWidget(box);
        column->addWidget(SettingsForm::caption(help, this));
        box->setChecked((model.*get)());
        connect(&model, changed, box, [box, &model, get] { box->setChecked((model.*get)()); });
        connect(box, &QCheckBox::clicked, &model, [&model, set](bool on) { (model.*set)(on); });
    };

    column->addWidget(SettingsForm::heading(QStringLiteral("クリップボード"), this));
    addCount(QStringLiteral("履歴表示行数"), 12, &ClipboardHistoryModel::displayHistoryRowCount,
        &ClipboardHistoryModel::setDisplayHistoryRowCount,
        &ClipboardHistoryModel::displayHistoryRowCountChanged);
    column->addWidget(
        SettingsForm::caption(QStringLiteral("左クリック画面の各履歴枠に表示する行数です。画像履歴"
                                             "は1行に3件、最大3行まで表示します。"),
            this));
    addCheck(QStringLiteral("履歴を選択したら自動で貼り付ける"),
        QStringLiteral(
            "左クリック画面で履歴を選ぶと、クリップボードに戻したあと前面のアプリへ貼り付けます。"),
        &ClipboardHistoryModel::autoPasteAfterSelectingHistory,
        &ClipboardHistoryModel::setAutoPasteAfterSelectingHistory,
        &ClipboardHistoryModel::autoPasteAfterSelectingHistoryChanged);
    addCheck(QStringLiteral("履歴を選択したら先頭へ移動する"),
        QStringLiteral(
            "オンの場合、選択した履歴を先頭へ移動し、記録日時を移動した時点に更新します。"),
        &ClipboardHistoryModel::moveSelectedHistoryItemToTop,
        &ClipboardHistoryModel::setMoveSelectedHistoryItemToTop,
        &ClipboardHistoryModel::moveSelectedHistoryItemToTopChanged);
    addCheck(QStringLiteral("Excelのコピーをテキストとして記録"),
        QStringLiteral("オフにすると、Excelで範囲・行・列をコピーしても履歴に記録しません。"),
        &ClipboardHistoryModel::saveExcelCopiesAsText,
        &ClipboardHistoryModel::setSaveExcelCopiesAsText,
        &ClipboardHistoryModel::saveExcelCopiesAsTextChanged);
    addCount(QStringLiteral("テキスト保存件数"), 500, &ClipboardHistoryModel::maxTextHistoryCount,
        &ClipboardHistoryModel::setMaxTextHistoryCount,
        &ClipboardHistoryModel::maxTextHistoryCountChanged);
    addCount(QStringLiteral("URL保存件数"), 500, &ClipboardHistoryModel::maxURLHistoryCount,
        &ClipboardHistoryModel::setMaxURLHistoryCount,
        &ClipboardHistoryModel::maxURLHistoryCountChanged);
    addCount(QStringLiteral("画像保存件数"), 500, &ClipboardHistoryModel::maxImageHistoryCount,
        &ClipboardHistoryModel::setMaxImageHistoryCount,
        &ClipboardHistoryModel::maxImageHistoryCountChanged);
    column->addWidget(SettingsForm::caption(
        QStringLiteral("各保存件数を減らすと、それぞれの上限を超えた古い履歴は削除されます。"),
        this));

    column->addWidget(SettingsForm::heading(QStringLiteral("保存容量"), this));
    m_textUsage = new ClipboardStorageUsageRow(QStringLiteral("テキスト"), this);
    m_urlUsage = new ClipboardStorageUsageRow(QStringLiteral("URL"), this);
    m_imageUsage = new ClipboardStorageUsageRow(QStringLiteral("画像"), this);
    m_totalUsage = new ClipboardStorageUsageRow(QStringLiteral("合計"), this);
    for (auto* row : {m_textUsage, m_urlUsage, m_imageUsage, m_totalUsage}) {
        column->addWidget(row);
    }
    column->addStretch();
    showUsage();
    connect(&model, &ClipboardHistoryModel::itemsChanged, this, [this] { showUsage(); });
}

void ClipboardMonitoringSettingsTab::showUsage()
{
    qsizetype counts[3] = {0, 0, 0};
    for (const ClipboardHistoryItem& item : m_model.items()) {
        ++counts[static_cast<int>(item.kind)];
    }
    const ClipboardHistoryStorageUsage usage = m_model.storageUsage();
    const auto index = [](ClipboardHistoryKind kind) {
        return static_cast<int>(kind);
    };
    m_textUsage->setUsage(counts[index(ClipboardHistoryKind::Text)], usage.textBytes);
    m_urlUsage->setUsage(counts[index(ClipboardHistoryKind::Url)], usage.urlBytes);
    m_imageUsage->setUsage(counts[index(ClipboardHistoryKind::Image)], usage.imageBytes);
    m_totalUsage->setUsage(
        counts[0] + counts[1] + counts[2], usage.textBytes + usage.urlBytes + usage.imageBytes);
}
