#pragma once

// The row that opens the fixed phrase side panel: the "text.quote" symbol, "定型文" above the
// number of visible phrases (or "未表示"), a chevron. It reports the pointer entering and
// leaving, with its frame in global coordinates, which is where the side panel is placed; the
// frame is also reported whenever the row is shown (every opening of the panel, after the
// window was placed), moved or resized, for the side panel opened from the keyboard.

#include <QWidget>

class QLabel;

class FixedPhraseLauncherRow final : public QWidget
{
    Q_OBJECT

public:
    explicit FixedPhraseLauncherRow(QWidget* parent = nullptr);

    void setDetail(const QString& detail);
    void setUiScale(double scale);
    QRect globalFrame() const;

Q_SIGNALS:
    void hoverChanged(bool hovered, const QRect& globalFrame);
    void globalFrameChanged(const QRect& globalFrame);

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* m_symbol;
    QLabel* m_title;
    QLabel* m_detail;
    QLabel* m_chevron;
    bool m_hovered = false;
};
