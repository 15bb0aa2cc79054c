#include "XInputPointerProperties.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xinput.h>

namespace {

template<typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template<typename T>
Reply<T> reply(T* pointer)
{
    return Reply<T>(pointer, &std::free);
}

constexpr quint32 MaxItems = 256;

} // namespace

XInputPointerProperties::~XInputPointerProperties()
{
    if (m_connection) {
        xcb_disconnect(m_connection);
    }
}

bool XInputPointerProperties::connect(QString* error)
{
    if (m_connection) {
        return true;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        *error =
            QStringLiteral("cannot open the X display \"%1\"").arg(qEnvironmentVariable("DISPLAY"));
        return false;
    }
    const auto version = reply(xcb_input_xi_query_version_reply(
        connection, xcb_input_xi_query_version(connection, 2, 0), nullptr));
    if (!version || version->major_version < 2) {
        xcb_disconnect(connection);
        *error = QStringLiteral("the X server has no XInput 2");
        return false;
    }
    m_connection = connection;
    m_floatAtom = atom(QStringLiteral("FLOAT"));
    return true;
}

xcb_atom_t XInputPointerProperties::atom(const QString& name) const
{
    const QByteArray bytes = name.toUtf8();
    const auto interned = reply(xcb_intern_atom_reply(m_connection,
        xcb_intern_atom(m_connection, 1, static_cast<quint16>(bytes.size()), bytes.constData()),
        nullptr));
    return interned ? interned->atom : xcb_atom_t(XCB_ATOM_NONE);
}

auto XInputPointerProperties::read(int device, const QString& name) const
    -> std::optional<RawProperty>
{
    const xcb_atom_t property = atom(name);
    if (property == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const auto got = reply(xcb_input_xi_get_property_reply(m_connection,
        xcb_input_xi_get_property(m_connection, static_cast<xcb_input_device_id_t>(device), 0,
            property, XCB_ATOM_ANY, 0, MaxItems),
        nullptr));
    if (!got || got->type == XCB_ATOM_NONE ||
        (got->format != 8 && got->format != 16 && got->format != 32)) {
        return std::nullopt;
    }
    const auto* items = static_cast<const char*>(xcb_input_xi_get_property_items(got.get()));
    return RawProperty {property, got->type, got->format, got->num_items,
        QByteArray(items, static_cast<qsizetype>(got->num_items) * (got->format / 8))};
}

std::optional<QList<PointerProperties::Pointer>> XInputPointerProperties::pointers(QString* error)
{
    if (!connect(error)) {
        return std::nullopt;
    }
    const auto devices = reply(xcb_input_xi_query_device_reply(
        m_connection, xcb_input_xi_query_device(m_connection, XCB_INPUT_DEVICE_ALL), nullptr));
    if (!devices) {
        *error = QStringLiteral("the X server did not list its input devices");
        return std::nullopt;
    }
    QList<Pointer> found;
    for (auto it = xcb_input_xi_query_device_infos_iterator(devices.get()); it.rem;
         xcb_input_xi_device_info_next(&it)) {
        const xcb_input_xi_device_info_t* info = it.data;
        if (info->type != XCB_INPUT_DEVICE_TYPE_SLAVE_POINTER &&
            info->type != XCB_INPUT_DEVICE_TYPE_FLOATING_SLAVE) {
            continue;
        }
        Pointer pointer;
        pointer.id = info->deviceid;
        pointer.name = QString::fromUtf8(
            xcb_input_xi_device_info_name(info), xcb_input_xi_device_info_name_length(info));
        if (const auto node = read(pointer.id, QStringLiteral("Device Node"));
            node && node->format == 8) {
            pointer.deviceNode = QString::fromUtf8(node->bytes.constData());
        }
        if (const auto ids = property(pointer.id, QStringLiteral("Device Product ID"));
            ids && ids->size() == 2) {
            pointer.productID = std::pair(qint64(ids->at(0)), qint64(ids->at(1)));
        }
        found.append(pointer);
    }
    return found;
}

std::optional<QList<double>> XInputPointerProperties::property(int device, const QString& name)
{
    QString error;
    const auto raw = connect(&error) ? read(device, name) : std::nullopt;
    if (!raw) {
        return std::nullopt;
    }
    QList<double> values;
    const char* data = raw->bytes.constData();
    for (quint32 i = 0; i < raw->count; ++i) {
        if (raw->format == 32 && raw->type == m_floatAtom) {
            float item = 0;
            std::memcpy(&item, data + i * 4, sizeof item);
            values.append(item);
        } else if (raw->format == 32) {
            qint32 item = 0;
            std::memcpy(&item, data + i * 4, sizeof item);
            values.append(item);
        } else if (raw->format == 16) {
            qint16 item = 0;
            std::memcpy(&item, data + i * 2, sizeof item);
            values.append(item);
        } else {
            values.append(static_cast<qint8>(data[i]));
        }
    }
    return values;
}

bool XInputPointerProperties::setProperty(
    int device, const QString& name, const QList<double>& values, QString* error)
{
    if (!connect(error)) {
        return false;
    }
    const auto raw = read(device, name);
    if (!raw) {
        *error = QStringLiteral("X device %1 has no property \"%2\"").arg(device).arg(name);
        return false;
    }
    QByteArray bytes;
    for (double value : values) {
        if (raw->format == 32 && raw->type == m_floatAtom) {
            const float item = static_cast<float>(value);
            bytes.append(reinterpret_cast<const char*>(&item), sizeof item);
        } else if (raw->format == 32) {
            const qint32 item = static_cast<qint32>(value);
            bytes.append(reinterpret_cast<const char*>(&item), sizeof item);
        } else if (raw->format == 16) {
            const qint16 item = static_cast<qint16>(value);
            bytes.append(reinterpret_cast<const char*>(&item), sizeof item);
        } else {
            bytes.append(static_cast<char>(value));
        }
    }
    const auto failure = reply(xcb_request_check(m_connection,
        xcb_input_xi_change_property_checked(m_connection,
            static_cast<xcb_input_device_id_t>(device), XCB_PROP_MODE_REPLACE, raw->format,
            raw->name, raw->type, static_cast<quint32>(values.size()), bytes.constData())));
    if (failure) {
        *error = QStringLiteral("the X server refused \"%1\" on device %2 (X error %3)")
                     .arg(name)
                     .arg(device)
                     .arg(failure->error_code);
        return false;
    }
    return true;
}
