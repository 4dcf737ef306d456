#include "ui/window_placement.h"

#include <QScreen>
#include <QWidget>

namespace zond::ui {

void centreOnScreen(QWidget& window) {
    if (const QScreen* desktop = window.screen()) {
        window.move(desktop->availableGeometry().center() - window.rect().center());
    }
}

}  // namespace zond::ui
