// Qt's own texts (standard buttons, file dialogs) in Russian, like the rest of the program.
#pragma once

namespace zond::app {

// Installs Qt's Russian translations from Qt's translations folder; false when they are missing.
bool installQtTranslations();

}  // namespace zond::app
