#include "SettingsForm.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Gives every title of its list the width of the widest one whenever a font changes.
class TitleWidths final : public QObject
{
public:
    TitleWidths(const QList<QLabel*>& titles, QObject* parent)
        : QObject(parent)
        , m_titles(titles)
    {
        for (QLabel* title : titles) {
            title->installEventFilter(this);
        }
        apply();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FontChange) {
            apply();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void apply()
    {
        // From the font itself: a label's own size hint is not renewed until after the filter.
        int widest = 0;
        for (QLabel* title : m_titles) {
            widest = std::max(widest,
                title->fontMetrics().horizontalAdvance(title->text()) + 2 * title->margin());
        }
        for (QLabel* title : m_titles) {
            title->setMinimumWidth(widest);
        }
    }

    QList<QLabel*> m_titles;
};

} // namespace

namespace SettingsForm {

QLabel* heading(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont font;
    font.setWeight(QFont::DemiBold); // size stays inherited from the view
    label->setFont(font);
    return label;
}

QLabel* caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QCheckBox* checkBox(const QString& text, QWidget* parent)
{
    auto* box = new QCheckBox(text, parent);
    box->setAccessibleName(text);
    return box;
}

QVBoxLayout* column(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(8);
    return layout;
}

QLabel* indentedCaption(const QString& text, int indent, QWidget* parent)
{
    QLabel* label = caption(text, parent);
    label->setIndent(indent);
    return label;
}

QLabel* statusLine(QWidget* parent)
{
    QLabel* label = caption(QString(), parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->hide();
    return label;
}

void showStatus(QLabel* line, const std::optional<QString>& message)
{
    line->setText(message.value_or(QString()));
    line->setVisible(message.has_value());
}

QPushButton* button(const QString& text, const QString& objectName, QWidget* parent)
{
    auto* made = new QPushButton(text, parent);
    made->setObjectName(objectName);
    made->setAccessibleName(text);
    made->setAutoDefault(false);
    return made;
}

QPushButton* destructiveButton(const QString& text, const QString& objectName, QWidget* parent)
{
    QPushButton* made = button(text, objectName, parent);
    QPalette palette = made->palette();
    palette.setColor(QPalette::ButtonText, QColor(0xd7, 0x26, 0x1e));
    made->setPalette(palette);
    return made;
}

QVBoxLayout* group(const QString& title, QBoxLayout* into, QWidget* parent)
{
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(title);
    into->addWidget(box);
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(6);
    return layout;
}

void addButtonRow(QBoxLayout* into, const QList<QPushButton*>& buttons)
{
    auto* row = new QHBoxLayout;
    for (QPushButton* button : buttons) {
        row->addWidget(button);
    }
    row->addStretch();
    into->addLayout(row);
}

void alignTitles(const QList<QLabel*>& titles)
{
    if (!titles.isEmpty()) {
        new TitleWidths(titles, titles.first());
    }
}

} // namespace SettingsForm
