#include "ui/window_placement.h"

#include <QScreen>
#include <QWidget>

namespace zond::ui {

void centreOnScreen(QWidget& window) {
    if (const QScreen* desktop = window.screen()) {
        window.move(desktop->availableGeometry().center() - window.rect().center());
    }
}

void centreOver(QWidget& window, const QWidget& over) {
    window.move(over.frameGeometry().center() - window.rect().center());
}

}  // namespace zond::ui
