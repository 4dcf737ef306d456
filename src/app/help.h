// The application's help file and the help command.
#pragma once

#include <QString>

namespace zond::app {

// The user guide's file name, looked for beside the executable.
inline constexpr char kHelpFileName[] = "zond_tavis.html";

void setApplicationHelpFile(const QString& path);
QString applicationHelpFile();

// Opens the help file's contents in the system's viewer; false when no viewer took it.
bool showHelpContents();

}  // namespace zond::app
