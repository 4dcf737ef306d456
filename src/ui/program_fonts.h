// The fonts the program's pages and windows ask for, where the system may lack them.
#pragma once

namespace zond::ui {

// Registers the fonts shipped in the "fonts" folder beside the executable (the Windows
// installation: DejaVu Sans for the splash and the protocol, Liberation Sans in place of Arial).
// Without a display Qt on Windows knows no system font at all, so a page drawn there carries text
// only through these. Elsewhere the folder is absent and the system's fonts serve. Call once,
// after the application object exists.
void registerProgramFonts();

}  // namespace zond::ui
