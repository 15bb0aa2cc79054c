#include "ShortcutRecorderRow.h"

#include "SettingsForm.h"
#include "SettingsTab.h"
#include "ShortcutRecorderCoordinator.h"
#include "platform/KeyCodes.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int boxWidth = 116;

// The shortcut modifier a modifier key stands for, or 0 for any other key.
Qt::KeyboardModifier modifierOfKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
        return Qt::ShiftModifier;
    case Qt::Key_Control:
        return Qt::ControlModifier;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return Qt::AltModifier;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return Qt::MetaModifier;
    default:
        return Qt::NoModifier;
    }
}

// The characters of the key itself, as an unmodified press would type them.
QString charactersIgnoringModifiers(const QKeyEvent& event)
{
    const int key = event.key();
    if (key > 0x20 && key < 0x110000 && QChar::isPrint(char32_t(key))) {
        const char32_t character = char32_t(key);
        return QString::fromUcs4(&character, 1).toLower();
    }
    return event.text();
}

} // namespace

// Takes the keyboard while recording and passes every key on to the coordinator, nothing else.
class ShortcutRecorderCaptureView final : public QWidget
{
public:
    ShortcutRecorderCaptureView(ShortcutRecorderCoordinator& coordinator, QWidget* parent)
        : QWidget(parent)
        , m_coordinator(coordinator)
    {
        setFocusPolicy(Qt::ClickFocus);
        setFixedSize(1, 1);
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept(); // the window's shortcuts wait while a shortcut is being recorded
            return true;
        }
        return QWidget::event(event);
    }
    bool focusNextPrevChild(bool) override { return false; }

    void keyPressEvent(QKeyEvent* event) override { handle(*event, true); }
    void keyReleaseEvent(QKeyEvent* event) override { handle(*event, false); }

private:
    void handle(const QKeyEvent& event, bool down)
    {
        if (event.isAutoRepeat()) {
            return;
        }
        const Qt::KeyboardModifier modifier = modifierOfKey(event.key());
        if (modifier != Qt::NoModifier) {
            Qt::KeyboardModifiers held = event.modifiers();
            held.setFlag(modifier, down);
            m_coordinator.handleFlagsChanged(canonicalModifierFlags(held));
        } else if (down) {
            m_coordinator.handleKeyDown(canonicalKeyCode(event.key(), event.modifiers()),
                charactersIgnoringModifiers(event), canonicalModifierFlags(event.modifiers()));
        }
    }

    ShortcutRecorderCoordinator& m_coordinator;
};

ShortcutRecorderRow::ShortcutRecorderRow(
    const QString& title, Scheduler& scheduler, QWidget* parent)
    : QWidget(parent)
    , m_coordinator(new ShortcutRecorderCoordinator(scheduler, this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins({});
    auto* row = new QHBoxLayout;
    column->addLayout(row);
    auto* label = new QLabel(title, this);
    row->addWidget(label);
    row->addStretch();
    m_box = new QPushButton(this);
    m_box->setObjectName(QStringLiteral("shortcutRecorderBox"));
    m_box->setAccessibleName(title);
    m_box->setFixedWidth(boxWidth);
    label->setBuddy(m_box);
    row->addWidget(m_box);
    auto* clear = new QToolButton(this);
    clear->setObjectName(QStringLiteral("shortcutRecorderClear"));
    clear->setIcon(
        SettingsTabs::symbolIcon(QStringLiteral("keyboard"), QStringLiteral("input-keyboard")));
    clear->setToolTip(QStringLiteral("クリア"));
    clear->setAccessibleName(QStringLiteral("クリア"));
    clear->setAutoRaise(true);
    row->addWidget(clear);
    m_capture = new ShortcutRecorderCaptureView(*m_coordinator, this);
    row->addWidget(m_capture);
    column->addWidget(SettingsForm::caption(
        QStringLiteral("修飾キー（⌃⇧⌥⌘）は好きなだけ同時に押せます。押しながらキーを押すと ⇧⌃⌘5 "
                       "のような組み合わせ、修飾キーだけで離すとその組み合わせ、単独の修飾キーを"
                       "2回押すと2回押しとして登録されます。"),
        this));

    m_box->setText(m_coordinator->displayText());
    connect(m_coordinator, &ShortcutRecorderCoordinator::displayChanged, m_box,
        [this] { m_box->setText(m_coordinator->displayText()); });
    connect(
        m_box, &QPushButton::clicked, m_coordinator, &ShortcutRecorderCoordinator::startRecording);
    connect(clear, &QToolButton::clicked, m_coordinator, &ShortcutRecorderCoordinator::clear);
    connect(m_coordinator, &ShortcutRecorderCoordinator::captureRequested, m_capture,
        [this](bool capture) {
            if (capture) {
                m_capture->setFocus(Qt::OtherFocusReason);
            } else if (m_capture->hasFocus()) {
                m_capture->clearFocus();
            }
        });
    connect(m_coordinator, &ShortcutRecorderCoordinator::shortcutEdited, this,
        &ShortcutRecorderRow::shortcutEdited);
    connect(m_coordinator, &ShortcutRecorderCoordinator::recordingActiveChanged, this,
        &ShortcutRecorderRow::recordingActiveChanged);
}

ShortcutRecorderRow::~ShortcutRecorderRow() = default;

void ShortcutRecorderRow::setShortcut(const std::optional<LeftClickShortcut>& shortcut)
{
    m_coordinator->setShortcut(shortcut);
}
