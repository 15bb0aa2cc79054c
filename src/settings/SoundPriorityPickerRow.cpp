#include "SoundPriorityPickerRow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>

namespace {

constexpr int titleWidth = 72;
constexpr int pickerWidth = 390;

QString entryText(const SoundOutputDevice& device)
{
    return device.isAvailable ? device.name : device.name + QStringLiteral("（未接続）");
}

} // namespace

SoundPriorityPickerRow::SoundPriorityPickerRow(int slot, QWidget* parent)
    : QWidget(parent)
    , m_slot(slot)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins({});
    const QString title = QStringLiteral("優先度") + QString::number(slot);
    auto* label = new QLabel(title, this);
    label->setFixedWidth(titleWidth);
    layout->addWidget(label);
    m_picker = new QComboBox(this);
    m_picker->setObjectName(QStringLiteral("soundPriorityPicker") + QString::number(slot));
    m_picker->setAccessibleName(title);
    m_picker->setFixedWidth(pickerWidth);
    label->setBuddy(m_picker);
    layout->addWidget(m_picker);
    layout->addStretch();
    connect(m_picker, &QComboBox::activated, this, [this](int index) {
        const QVariant data = m_picker->itemData(index);
        Q_EMIT deviceChosen(
            data.isValid() ? std::optional<QString>(data.toString()) : std::nullopt, m_slot);
    });
}

QStringList SoundPriorityPickerRow::entryTexts(const QList<SoundOutputDevice>& devices)
{
    QStringList texts {QStringLiteral("未設定")};
    for (const SoundOutputDevice& device : devices) {
        texts.append(entryText(device));
    }
    return texts;
}

void SoundPriorityPickerRow::showChoice(
    const QList<SoundOutputDevice>& devices, const std::optional<QString>& deviceID)
{
    const QSignalBlocker block(m_picker);
    m_picker->clear();
    const QStringList texts = entryTexts(devices);
    m_picker->addItem(texts.first());
    for (qsizetype index = 0; index < devices.size(); ++index) {
        m_picker->addItem(texts.at(index + 1), devices.at(index).id);
    }
    // An identifier no known device has (forgotten meanwhile) leaves the picker blank.
    m_picker->setCurrentIndex(deviceID ? m_picker->findData(*deviceID) : 0);
}
