#pragma once

// Declared once for the whole test executable, whose files may be compiled as one unit.

#include "platform/DefaultsStore.h"

#include <QMetaType>

Q_DECLARE_METATYPE(DefaultsValue)
