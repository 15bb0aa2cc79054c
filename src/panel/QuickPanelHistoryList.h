#pragma once

// The panel's first content: the history as a plain list of rows. It knows nothing of the
// history model; the caller hands it a function that returns the rows to show, and reload()
// asks again. A click (or Return) on a row emits rowActivated with the row's id.

#include <QImage>
#include <QList>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <functional>

class QListWidget;
class QListWidgetItem;

struct QuickPanelRow
{
    QUuid id;
    QString text;
    QString detail;
    QImage thumbnail; // null for text rows

    bool operator==(const QuickPanelRow& other) const = default;
};

class QuickPanelHistoryList final : public QWidget
{
    Q_OBJECT

public:
    using RowsProvider = std::function<QList<QuickPanelRow>()>;

    explicit QuickPanelHistoryList(RowsProvider rows, QWidget* parent = nullptr);

    void reload();
    int rowCount() const;
    QListWidget* listWidget() const { return m_list; }

Q_SIGNALS:
    void rowActivated(const QUuid& id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void activateItem(QListWidgetItem* item);

    RowsProvider m_rows;
    QListWidget* m_list = nullptr;
};
