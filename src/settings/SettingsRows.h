#pragma once

// The reusable rows of the general and clipboard tabs.
//
// ScaleControlRow: a slider and a spin box over 0.8…1.8 in steps of 0.05, and the value as
// "1.25x". The slider works in hundredths so that a step is exactly 5.
// HistoryCountControlRow: a number field and its arrows over a closed range; a typed number
// out of range is passed on as typed, for the model to clamp, and the field then shows what
// the model kept.
// ClipboardStorageUsageRow: a count ("12件") and a byte figure.
//
// LevelSliderRow: a whole-number slider over a closed range with the value written after it
// ("5行分" with the suffix "行分").
// ElidedLabel: one line of text cut with "…" at the width it is given.
//
// Byte figures are written as the desktop's file manager writes them: decimal units up to GB
// (1 kB = 1000 bytes), one decimal from kB on, "0 bytes" for nothing.

#include <QWidget>

class QLabel;
class QSlider;
class QDoubleSpinBox;
class QSpinBox;

QString formatByteCount(qint64 bytes);

class ScaleControlRow final : public QWidget
{
    Q_OBJECT

public:
    ScaleControlRow(const QString& title, QWidget* parent = nullptr);

    void setValue(double value);
    QString valueText() const;
    QLabel* title() const { return m_title; }

Q_SIGNALS:
    void valueEdited(double value);

private:
    QLabel* m_title = nullptr;
    QSlider* m_slider = nullptr;
    QDoubleSpinBox* m_stepper = nullptr;
    QLabel* m_text = nullptr;
};

class HistoryCountControlRow final : public QWidget
{
    Q_OBJECT

public:
    HistoryCountControlRow(
        const QString& title, int minimum, int maximum, QWidget* parent = nullptr);

    void setValue(int value);
    QSpinBox* field() const { return m_field; }

Q_SIGNALS:
    void valueEdited(int value);

private:
    QSpinBox* m_field = nullptr;
    int m_shown = 0;
};

class ClipboardStorageUsageRow final : public QWidget
{
    Q_OBJECT

public:
    explicit ClipboardStorageUsageRow(const QString& title, QWidget* parent = nullptr);

    void setUsage(qsizetype itemCount, qint64 byteCount);
    QString countText() const;
    QString bytesText() const;

private:
    QLabel* m_count = nullptr;
    QLabel* m_bytes = nullptr;
};

class LevelSliderRow final : public QWidget
{
    Q_OBJECT

public:
    LevelSliderRow(const QString& title, int minimum, int maximum, QString suffix = QString(),
        QWidget* parent = nullptr);

    void setValue(qint64 value);
    QString valueText() const;
    QLabel* title() const { return m_title; }
    QSlider* slider() const { return m_slider; }

Q_SIGNALS:
    void valueEdited(qint64 value);

private:
    QString m_suffix;
    QLabel* m_title = nullptr;
    QSlider* m_slider = nullptr;
    QLabel* m_text = nullptr;
};

class ElidedLabel final : public QWidget
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return m_text; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
};
