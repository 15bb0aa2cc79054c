#pragma once

// Qt's own texts (file dialogs, the context menus of text fields, standard buttons) in the
// language of the rest of the interface. The interface is Japanese whatever the system
// locale, so Qt's Japanese catalogue is loaded, not the one the locale would pick.

class QCoreApplication;
class QTranslator;

namespace QtTranslations {

// Installs Qt's Japanese catalogue on the application, which owns it. Null when the catalogue
// is not installed (Qt's texts then stay English).
QTranslator* install(QCoreApplication& application);

} // namespace QtTranslations
