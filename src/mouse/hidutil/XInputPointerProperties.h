#pragma once

// PointerProperties of the X server named by DISPLAY, through XInput 2 device properties
// (XIQueryDevice, XIGetProperty, XIChangeProperty) on an xcb connection opened on first use.

#include "PointerProperties.h"

#include <QByteArray>

#include <xcb/xcb.h>

class XInputPointerProperties final : public PointerProperties
{
public:
    XInputPointerProperties() = default;
    ~XInputPointerProperties() override;
    XInputPointerProperties(const XInputPointerProperties&) = delete;
    XInputPointerProperties& operator=(const XInputPointerProperties&) = delete;

    std::optional<QList<Pointer>> pointers(QString* error) override;
    std::optional<QList<double>> property(int device, const QString& name) override;
    bool setProperty(
        int device, const QString& name, const QList<double>& values, QString* error) override;

private:
    struct RawProperty
    {
        xcb_atom_t name = XCB_ATOM_NONE;
        xcb_atom_t type = XCB_ATOM_NONE;
        quint8 format = 0;
        quint32 count = 0;
        QByteArray bytes;
    };

    bool connect(QString* error);
    xcb_atom_t atom(const QString& name) const;
    std::optional<RawProperty> read(int device, const QString& name) const;

    xcb_connection_t* m_connection = nullptr;
    xcb_atom_t m_floatAtom = XCB_ATOM_NONE;
};
