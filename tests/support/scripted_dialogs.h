// UserDialogs for GUI tests: records every message box and file dialog, and answers them from
// queues filled by the test. An unscripted question is recorded and answered as cancelled.
#pragma once

#include <QStringList>
#include <deque>
#include <vector>

#include "ui/user_dialogs.h"

namespace zond::test {

struct ShownMessage {
    QString text;
    QString caption;
    ui::MessageIcon icon = ui::MessageIcon::None;
    QMessageBox::StandardButtons buttons;
    QString details;
    QString action;  // the button offered beside OK
};

class ScriptedDialogs final : public ui::UserDialogs {
  public:
    std::deque<QMessageBox::StandardButton> answers;
    std::deque<QString> fileNames;
    std::deque<QColor> colors;
    // Answers to messages that offer an action: true chooses it; none left, OK.
    std::deque<bool> actionChoices;

    std::vector<ShownMessage> messages;
    std::vector<ui::FileDialogRequest> openRequests;
    std::vector<ui::FileDialogRequest> saveRequests;
    int unscripted = 0;

    using ui::UserDialogs::message;
    QMessageBox::StandardButton message(QWidget* parent, const QString& text,
                                        const QString& caption, ui::MessageIcon icon,
                                        QMessageBox::StandardButtons buttons,
                                        const QString& details) override;
    bool messageOffering(QWidget* parent, const QString& text, const QString& caption,
                         ui::MessageIcon icon, const QString& action) override;
    QString openFileName(QWidget* parent, const ui::FileDialogRequest& request) override;
    QString saveFileName(QWidget* parent, const ui::FileDialogRequest& request) override;
    std::optional<QColor> color(QWidget* parent, const QColor& initial) override;

    QStringList messageTexts() const;
    void clear();
};

}  // namespace zond::test
