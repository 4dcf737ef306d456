// Where the program's own windows appear on the screen.
#pragma once

class QWidget;

namespace zond::ui {

// Moves the window to the middle of the available area of the screen it is on.
void centreOnScreen(QWidget& window);
// Moves the window to the middle of another one, as a dialog opens over its owner.
void centreOver(QWidget& window, const QWidget& over);

}  // namespace zond::ui
