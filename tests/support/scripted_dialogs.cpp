#include "scripted_dialogs.h"

namespace zond::test {

namespace {

template <typename T>
bool takeFront(std::deque<T>& queue, T& out) {
    if (queue.empty()) {
        return false;
    }
    out = queue.front();
    queue.pop_front();
    return true;
}

}  // namespace

QMessageBox::StandardButton ScriptedDialogs::message(QWidget*, const QString& text,
                                                     const QString& caption, ui::MessageIcon icon,
                                                     QMessageBox::StandardButtons buttons,
                                                     const QString& details) {
    messages.push_back({text, caption, icon, buttons, details, QString()});
    if (buttons == QMessageBox::Ok) {
        return QMessageBox::Ok;
    }
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    if (!takeFront(answers, answer)) {
        ++unscripted;
    }
    return answer;
}

bool ScriptedDialogs::messageOffering(QWidget*, const QString& text, const QString& caption,
                                      ui::MessageIcon icon, const QString& action) {
    messages.push_back({text, caption, icon, QMessageBox::Ok, QString(), action});
    bool chosen = false;
    takeFront(actionChoices, chosen);
    return chosen;
}

QString ScriptedDialogs::openFileName(QWidget*, const ui::FileDialogRequest& request) {
    openRequests.push_back(request);
    QString name;
    if (!takeFront(fileNames, name)) {
        ++unscripted;
    }
    return name;
}

QString ScriptedDialogs::saveFileName(QWidget*, const ui::FileDialogRequest& request) {
    saveRequests.push_back(request);
    QString name;
    if (!takeFront(fileNames, name)) {
        ++unscripted;
    }
    return name;
}

std::optional<QColor> ScriptedDialogs::color(QWidget*, const QColor&) {
    QColor chosen;
    if (!takeFront(colors, chosen)) {
        ++unscripted;
        return std::nullopt;
    }
    return chosen;
}

QStringList ScriptedDialogs::messageTexts() const {
    QStringList texts;
    for (const auto& shown : messages) {
        texts << shown.text;
    }
    return texts;
}

void ScriptedDialogs::clear() {
    messages.clear();
    openRequests.clear();
    saveRequests.clear();
    unscripted = 0;
}

}  // namespace zond::test
