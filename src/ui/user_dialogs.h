// Every message box and standard dialog of the program goes through this interface, so that GUI
// tests can answer them without blocking and read what was shown.
#pragma once

#include <QColor>
#include <QMessageBox>
#include <QString>
#include <filesystem>
#include <optional>

class QWidget;

namespace zond::ui {

enum class MessageIcon { None, Information, Warning, Error, Question };

struct FileDialogRequest {
    QString title;
    QString directory;
    QString fileName;
    QString filter;  // Qt filter text, e.g. "Базы данных (*.db)"; ";;" between types
    QString defaultSuffix;  // without the dot; empty: the suffix of the chosen type

    // Opens the dialog in `path`'s folder with its name filled in; nothing for an empty path.
    void suggest(const QString& path);
};

// A file beside `file` named after it, e.g. "/data/T1_отчёт.pdf" for "/data/T1.db" and
// "_отчёт.pdf".
QString namedAfter(const std::filesystem::path& file, const QString& ending);

class UserDialogs {
  public:
    virtual ~UserDialogs() = default;

    // `details`: the box's "Подробнее" part (none when empty).
    virtual QMessageBox::StandardButton message(QWidget* parent, const QString& text,
                                                const QString& caption, MessageIcon icon,
                                                QMessageBox::StandardButtons buttons,
                                                const QString& details) = 0;
    QMessageBox::StandardButton message(QWidget* parent, const QString& text,
                                        const QString& caption, MessageIcon icon,
                                        QMessageBox::StandardButtons buttons);
    // A message that also offers one action of the caller's own beside OK (e.g. "Настройка
    // связи…"); true when the user chose it. Without an override, the plain message.
    virtual bool messageOffering(QWidget* parent, const QString& text, const QString& caption,
                                 MessageIcon icon, const QString& action);
    // An empty string when the user cancels.
    virtual QString openFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // Asks the standard overwrite question for an existing file; empty when cancelled.
    virtual QString saveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual std::optional<QColor> color(QWidget* parent, const QColor& initial) = 0;

    // Shortcuts for the two shapes used everywhere.
    void error(QWidget* parent, const QString& text);  // caption "Ошибка", OK
    void information(QWidget* parent, const QString& text, const QString& caption);
};

// The real dialogs of the desktop program.
class StandardDialogs final : public UserDialogs {
  public:
    using UserDialogs::message;
    QMessageBox::StandardButton message(QWidget* parent, const QString& text,
                                        const QString& caption, MessageIcon icon,
                                        QMessageBox::StandardButtons buttons,
                                        const QString& details) override;
    bool messageOffering(QWidget* parent, const QString& text, const QString& caption,
                         MessageIcon icon, const QString& action) override;
    QString openFileName(QWidget* parent, const FileDialogRequest& request) override;
    QString saveFileName(QWidget* parent, const FileDialogRequest& request) override;
    std::optional<QColor> color(QWidget* parent, const QColor& initial) override;
};

}  // namespace zond::ui
