#include "SettingsForm.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

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

} // namespace SettingsForm
