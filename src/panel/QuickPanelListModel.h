#pragma once

// The rows of one of the quick panel's lists, for a Qt item view: a copy of what the view
// model lists, replaced with the fewest row signals. Rows kept at both ends stay where they
// are, only the middle is removed and inserted, so a capture (one row at the top), a deletion
// or a promotion to the top moves a few rows and keeps the scroll position and the lazy
// layout of the rest. After a change of the results every kept row is reported changed (a
// thumbnail or dimensions may have arrived); a new search changes which rows are listed, not
// what a row shows, so the lists it leaves as they were are not repainted. The keyboard selection
// is a row flag whose change repaints the two rows involved.
//
// A template without Q_OBJECT: it declares no signals of its own.

#include <QAbstractListModel>
#include <QList>
#include <QUuid>

#include <algorithm>
#include <optional>

template<typename Row>
class QuickPanelListModel : public QAbstractListModel
{
public:
    using IdOf = QUuid (*)(const Row&);

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    const Row& at(int row) const { return m_rows.at(row); }
    bool isSelected(int row) const { return m_selected && m_idOf(m_rows.at(row)) == *m_selected; }
    // The row of that id, or -1.
    int rowOf(const std::optional<QUuid>& id) const
    {
        if (id) {
            for (qsizetype row = 0; row < m_rows.size(); ++row) {
                if (m_idOf(m_rows.at(row)) == *id) {
                    return int(row);
                }
            }
        }
        return -1;
    }

protected:
    QuickPanelListModel(IdOf idOf, QObject* parent)
        : QAbstractListModel(parent)
        , m_idOf(idOf)
    { }

    enum class Content
    {
        Unchanged,
        MayHaveChanged
    };

    void replaceRows(const QList<Row>& rows, Content content)
    {
        const qsizetype common = std::min(m_rows.size(), rows.size());
        qsizetype head = 0;
        while (head < common && m_idOf(m_rows.at(head)) == m_idOf(rows.at(head))) {
            ++head;
        }
        qsizetype tail = 0;
        while (tail < common - head &&
            m_idOf(m_rows.at(m_rows.size() - 1 - tail)) ==
                m_idOf(rows.at(rows.size() - 1 - tail))) {
            ++tail;
        }
        const qsizetype removed = m_rows.size() - head - tail;
        const qsizetype inserted = rows.size() - head - tail;
        if (removed > 0) {
            beginRemoveRows({}, int(head), int(head + removed - 1));
            m_rows.remove(head, removed);
            endRemoveRows();
        }
        // What is left after the removal is rows without its middle: the new list is the
        // old one with the middle inserted (and a shared copy, not thousands of row copies).
        if (inserted > 0) {
            beginInsertRows({}, int(head), int(head + inserted - 1));
            m_rows = rows;
            endInsertRows();
        } else {
            m_rows = rows;
        }
        if (content == Content::MayHaveChanged && !m_rows.isEmpty()) {
            Q_EMIT dataChanged(index(0), index(int(m_rows.size() - 1)));
        }
    }

    void setSelectedID(const std::optional<QUuid>& id)
    {
        const int before = rowOf(m_selected);
        m_selected = id;
        for (const int row : {before, rowOf(id)}) {
            if (row >= 0) {
                Q_EMIT dataChanged(index(row), index(row));
            }
        }
    }

private:
    IdOf m_idOf;
    QList<Row> m_rows;
    std::optional<QUuid> m_selected;
};
