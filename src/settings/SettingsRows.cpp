#include "SettingsRows.h"

#include "support/UIScale.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QSpinBox>

#include <cmath>

namespace {

constexpr double scaleStep = 0.05;
constexpr int scaleTextWidth = 56;
constexpr int countFieldWidth = 80;
// What a count field lets the user type; the row's range applies to the arrows, the model
// clamps the rest.
constexpr int countFieldLimit = 999999;

QHBoxLayout* titledRow(const QString& title, QWidget* row, QLabel** label = nullptr)
{
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins({});
    auto* made = new QLabel(title, row);
    layout->addWidget(made);
    layout->addStretch();
    if (label != nullptr) {
        *label = made;
    }
    return layout;
}

// A number field whose arrows keep to a range while typing may go beyond it.
class CountField final : public QSpinBox
{
public:
    CountField(int minimum, int maximum, QWidget* parent)
        : QSpinBox(parent)
        , m_minimum(minimum)
        , m_maximum(maximum)
    {
        setRange(0, countFieldLimit);
    }

    void stepBy(int steps) override
    {
        setValue(std::clamp(value() + steps, m_minimum, m_maximum));
        Q_EMIT editingFinished();
    }

protected:
    StepEnabled stepEnabled() const override
    {
        StepEnabled enabled = StepNone;
        enabled.setFlag(StepUpEnabled, value() < m_maximum);
        enabled.setFlag(StepDownEnabled, value() > m_minimum);
        return enabled;
    }

private:
    int m_minimum;
    int m_maximum;
};

} // namespace

QString formatByteCount(qint64 bytes)
{
    if (bytes < 1000) {
        return bytes == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(bytes);
    }
    static const char* const units[] = {"kB", "MB", "GB"};
    double value = double(bytes);
    int unit = -1;
    while (unit < 2 && value >= 1000) {
        value /= 1000;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(units[unit]));
}

ScaleControlRow::ScaleControlRow(const QString& title, QWidget* parent)
    : QWidget(parent)
{
    QHBoxLayout* layout = titledRow(title, this, &m_title);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setRange(
        int(std::lround(UIScale::minimum * 100)), int(std::lround(UIScale::maximum * 100)));
    m_slider->setSingleStep(int(std::lround(scaleStep * 100)));
    m_slider->setPageStep(int(std::lround(scaleStep * 100)));
    m_slider->setAccessibleName(title);
    layout->addWidget(m_slider, 1);
    m_stepper = new QDoubleSpinBox(this);
    m_stepper->setRange(UIScale::minimum, UIScale::maximum);
    m_stepper->setSingleStep(scaleStep);
    m_stepper->setDecimals(2);
    m_stepper->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    m_stepper->setAccessibleName(title);
    layout->addWidget(m_stepper);
    m_text = new QLabel(this);
    m_text->setFixedWidth(scaleTextWidth);
    m_text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(m_text);
    connect(m_slider, &QSlider::valueChanged, this,
        [this](int hundredths) { Q_EMIT valueEdited(hundredths / 100.0); });
    connect(m_stepper, &QDoubleSpinBox::valueChanged, this,
        [this](double value) { Q_EMIT valueEdited(value); });
}

void ScaleControlRow::setValue(double value)
{
    const QSignalBlocker sliderBlock(m_slider);
    const QSignalBlocker stepperBlock(m_stepper);
    m_slider->setValue(int(std::lround(value * 100)));
    m_stepper->setValue(value);
    m_text->setText(QString::asprintf("%.2fx", value));
}

QString ScaleControlRow::valueText() const
{
    return m_text->text();
}

HistoryCountControlRow::HistoryCountControlRow(
    const QString& title, int minimum, int maximum, QWidget* parent)
    : QWidget(parent)
{
    QHBoxLayout* layout = titledRow(title, this);
    m_field = new CountField(minimum, maximum, this);
    m_field->setFixedWidth(countFieldWidth);
    m_field->setAccessibleName(title);
    layout->addWidget(m_field);
    connect(m_field, &QSpinBox::editingFinished, this, [this] {
        if (m_field->value() != m_shown) {
            Q_EMIT valueEdited(m_field->value());
        }
    });
}

void HistoryCountControlRow::setValue(int value)
{
    m_shown = value;
    m_field->setValue(value);
}

ClipboardStorageUsageRow::ClipboardStorageUsageRow(const QString& title, QWidget* parent)
    : QWidget(parent)
{
    QHBoxLayout* layout = titledRow(title, this);
    m_count = new QLabel(this);
    m_bytes = new QLabel(this);
    m_bytes->setMinimumWidth(90);
    m_bytes->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(m_count);
    layout->addWidget(m_bytes);
    setUsage(0, 0);
}

void ClipboardStorageUsageRow::setUsage(qsizetype itemCount, qint64 byteCount)
{
    m_count->setText(QString::number(itemCount) + QStringLiteral("件"));
    m_bytes->setText(formatByteCount(byteCount));
}

QString ClipboardStorageUsageRow::countText() const
{
    return m_count->text();
}

QString ClipboardStorageUsageRow::bytesText() const
{
    return m_bytes->text();
}

LevelSliderRow::LevelSliderRow(
    const QString& title, int minimum, int maximum, QString suffix, QWidget* parent)
    : QWidget(parent)
    , m_suffix(std::move(suffix))
{
    QHBoxLayout* layout = titledRow(title, this, &m_title);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setRange(minimum, maximum);
    m_slider->setSingleStep(1);
    m_slider->setPageStep(1);
    m_slider->setAccessibleName(title);
    m_title->setBuddy(m_slider);
    layout->addWidget(m_slider, 1);
    m_text = new QLabel(this);
    m_text->setMinimumWidth(scaleTextWidth);
    m_text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(m_text);
    connect(m_slider, &QSlider::valueChanged, this, [this](int value) {
        m_text->setText(QString::number(value) + m_suffix);
        Q_EMIT valueEdited(value);
    });
}

void LevelSliderRow::setValue(qint64 value)
{
    const QSignalBlocker block(m_slider);
    m_slider->setValue(int(value));
    m_text->setText(QString::number(value) + m_suffix);
}

QString LevelSliderRow::valueText() const
{
    return m_text->text();
}

ElidedLabel::ElidedLabel(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::setText(const QString& text)
{
    m_text = text;
    setToolTip(text);
    setAccessibleName(text);
    updateGeometry();
    update();
}

QSize ElidedLabel::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(m_text), fontMetrics().height()};
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {0, fontMetrics().height()};
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QString shown = fontMetrics().elidedText(m_text, Qt::ElideRight, width());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, shown);
}
