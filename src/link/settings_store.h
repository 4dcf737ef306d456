// The per-user settings store: HKCU\Software\Orbelin\ZOND05\1.0 on Windows, an INI file under
// $XDG_CONFIG_HOME/Orbelin on Linux.
#pragma once

#include <QSettings>
#include <memory>

namespace zond::link {

// Settings opened inside the program's "1.0" group.
std::unique_ptr<QSettings> openProgramSettings();

}  // namespace zond::link
