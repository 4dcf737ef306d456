// Where the program's own windows appear on the screen.
#pragma once

class QWidget;

namespace zond::ui {

// Moves the window to the middle of the available area of the screen it is on.
void centreOnScreen(QWidget& window);

}  // namespace zond::ui
