#include "LinuxGlobalKeyMonitor.h"

#include "X11Connection.h"
#include "X11KeyTranslator.h"

#include <xcb/xinput.h>

LinuxGlobalKeyMonitor::LinuxGlobalKeyMonitor(QObject* parent)
    : GlobalKeyMonitor(parent)
    , m_x11(X11Connection::shared())
{
    if (!m_x11) {
        return;
    }
    xcb_connection_t* connection = m_x11->connection();
    const xcb_query_extension_reply_t* extension =
        xcb_get_extension_data(connection, &xcb_input_id);
    if (extension == nullptr || extension->present == 0) {
        return;
    }
    // 2.1 and later deliver raw events also while another client grabs the keyboard.
    XcbReply<xcb_input_xi_query_version_reply_t> version(xcb_input_xi_query_version_reply(
        connection, xcb_input_xi_query_version(connection, 2, 2), nullptr));
    if (!version || version->major_version < 2) {
        return;
    }
    m_xinputOpcode = extension->major_opcode;
    m_translator = std::make_unique<X11KeyTranslator>([this](quint32 keycode) {
        const qsizetype index = qsizetype(keycode - m_minKeycode) * m_keysymsPerKeycode;
        if (keycode < m_minKeycode || index < 0 || index >= m_keysyms.size()) {
            return X11KeyTranslator::Keysyms {};
        }
        return X11KeyTranslator::Keysyms {
            m_keysyms.at(index), m_keysymsPerKeycode > 1 ? m_keysyms.at(index + 1) : 0};
    });
    m_subscription = std::make_unique<QObject>();
    m_x11->subscribe(
        m_subscription.get(), [this](const xcb_generic_event_t* event) { handle(event); });
    readKeyboardMapping();
}

LinuxGlobalKeyMonitor::~LinuxGlobalKeyMonitor()
{
    remove();
}

void LinuxGlobalKeyMonitor::install(GlobalKeyEvent::Types types)
{
    if (!isAvailable()) {
        return;
    }
    if (!m_types) {
        m_translator->setHeldKeys(heldKeys());
        selectRawKeys(true);
    }
    m_types = types;
}

void LinuxGlobalKeyMonitor::remove()
{
    if (m_types) {
        selectRawKeys(false);
        m_types.reset();
    }
}

void LinuxGlobalKeyMonitor::selectRawKeys(bool on)
{
    struct
    {
        xcb_input_event_mask_t head;
        uint32_t bits;
    } mask {};
    mask.head.deviceid = XCB_INPUT_DEVICE_ALL_MASTER;
    mask.head.mask_len = 1;
    mask.bits =
        on ? XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE : 0;
    xcb_input_xi_select_events(m_x11->connection(), m_x11->root(), 1, &mask.head);
    m_x11->flush();
}

void LinuxGlobalKeyMonitor::handle(const void* raw)
{
    const auto* event = static_cast<const xcb_generic_event_t*>(raw);
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        readKeyboardMapping();
        return;
    }
    if (!m_types || type != XCB_GE_GENERIC) {
        return;
    }
    const auto* generic = static_cast<const xcb_ge_generic_event_t*>(raw);
    if (generic->extension != m_xinputOpcode) {
        return;
    }
    const auto* key = static_cast<const xcb_input_raw_key_press_event_t*>(raw);
    std::optional<GlobalKeyEvent> translated;
    if (generic->event_type == XCB_INPUT_RAW_KEY_PRESS) {
        translated = m_translator->press(key->detail, key->time);
    } else if (generic->event_type == XCB_INPUT_RAW_KEY_RELEASE) {
        translated = m_translator->release(key->detail, key->time);
    }
    if (translated && m_types->testFlag(translated->type)) {
        Q_EMIT keyEvent(*translated);
    }
}

void LinuxGlobalKeyMonitor::readKeyboardMapping()
{
    xcb_connection_t* connection = m_x11->connection();
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    XcbReply<xcb_get_keyboard_mapping_reply_t> reply(xcb_get_keyboard_mapping_reply(connection,
        xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<uint8_t>(count)),
        nullptr));
    if (!reply) {
        return;
    }
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(reply.get());
    const int length = xcb_get_keyboard_mapping_keysyms_length(reply.get());
    m_minKeycode = setup->min_keycode;
    m_keysymsPerKeycode = reply->keysyms_per_keycode;
    m_keysyms = QList<quint32>(keysyms, keysyms + length);
}

QList<quint32> LinuxGlobalKeyMonitor::heldKeys() const
{
    xcb_connection_t* connection = m_x11->connection();
    XcbReply<xcb_query_keymap_reply_t> reply(
        xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr));
    QList<quint32> held;
    if (!reply) {
        return held;
    }
    for (quint32 keycode = 0; keycode < 256; ++keycode) {
        if ((reply->keys[keycode / 8] & (1u << (keycode % 8))) != 0) {
            held.append(keycode);
        }
    }
    return held;
}
