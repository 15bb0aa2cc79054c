#pragma once

// One column of the fixed phrase side panel: a header, then either a list of rows (shortcut
// label, icon, title) or a caption when there is nothing to list. Rows are items painted by a
// delegate, so a folder of hundreds of phrases costs no widgets. The column never takes focus
// (the quick panel's window keeps the keyboard) and has no selection of its own: the highlighted
// row is the one the side panel's selection names, and a click is only reported.

#include <QIcon>
#include <QList>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <optional>

class QLabel;
class QListWidget;

class FixedPhraseHoverPanelColumn final : public QWidget
{
    Q_OBJECT

public:
    // The data of the list's items.
    enum Role
    {
        LabelRole = Qt::UserRole,
        IdRole,
        HighlightedRole
    };

    struct Row
    {
        QUuid id;
        QString label; // empty beyond the 35th
        QString title;
        QString toolTip;
    };

    FixedPhraseHoverPanelColumn(
        const QString& header, const QIcon& rowIcon, double uiScale, QWidget* parent = nullptr);

    // Shows the rows, or the caption when there are none.
    void setRows(const QList<Row>& rows, const QString& emptyCaption);
    void setHighlighted(const std::optional<QUuid>& id);

    QListWidget* list() const { return m_list; }
    QLabel* caption() const { return m_caption; }

Q_SIGNALS:
    void rowClicked(const QUuid& id);

private:
    QIcon m_rowIcon;
    QListWidget* m_list = nullptr;
    QLabel* m_caption = nullptr;
};
