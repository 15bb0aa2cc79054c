#pragma once

// The row that opens the fixed phrase side panel: the "text.quote" symbol, "定型文" above the
// number of visible phrases (or "未表示"), a chevron. It reports the pointer entering and
// leaving, with its frame in global coordinates, which is where the side panel is placed; the
// frame is also reported whenever it changes on screen (the row shown on every opening of the
// panel, moved, resized, scrolled with the panel's content, or carried by its window), for the
// side panel opened from the keyboard.

#include <QPointer>
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
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchAncestors();

    // The widgets whose moves carry the row along: every ancestor up to the window.
    QList<QPointer<QWidget>> m_ancestors;
    QLabel* m_symbol;
    QLabel* m_title;
    QLabel* m_detail;
    QLabel* m_chevron;
    bool m_hovered = false;
};
