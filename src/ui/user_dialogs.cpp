#include "ui/user_dialogs.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>

namespace zond::ui {

namespace {

QMessageBox::Icon toQtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// "*.csv" of "CSV (*.csv)": what a name typed without a suffix takes under that type.
QString firstSuffix(const QString& filter) {
    static const QRegularExpression pattern(QStringLiteral(R"(\*\.(\w+))"));
    return pattern.match(filter).captured(1);
}

// File sizes in the file dialog as a Russian reader writes them ("120,6 кБ"): Qt's own column
// uses the binary units, which Qt's Russian locale data leaves as "KiB".
class RussianFileSizes final : public QIdentityProxyModel {
  public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (files == nullptr || role != Qt::DisplayRole || index.column() != kSizeColumn) {
            return QIdentityProxyModel::data(index, role);
        }
        const QModelIndex file = mapToSource(index);
        if (files->isDir(file)) {
            return QIdentityProxyModel::data(index, role);
        }
        static const QLocale russian(QLocale::Russian, QLocale::Russia);
        return russian.formattedDataSize(files->size(file), 1, QLocale::DataSizeTraditionalFormat);
    }

  private:
    static constexpr int kSizeColumn = 1;
};

void prepare(QFileDialog& dialog, const FileDialogRequest& request) {
    dialog.setProxyModel(new RussianFileSizes(&dialog));
    dialog.setWindowTitle(request.title);
    dialog.setDirectory(request.directory);
    dialog.setNameFilter(request.filter);
    if (request.defaultSuffix.isEmpty()) {
        // Several file types: the chosen one completes the name, and the overwrite question is
        // asked for the completed name.
        dialog.setDefaultSuffix(firstSuffix(dialog.selectedNameFilter()));
        QObject::connect(
            &dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog](const QString& filter) { dialog.setDefaultSuffix(firstSuffix(filter)); });
    } else {
        dialog.setDefaultSuffix(request.defaultSuffix);
    }
    if (!request.fileName.isEmpty()) {
        dialog.selectFile(request.fileName);
    }
}

}  // namespace

QMessageBox::StandardButton UserDialogs::message(QWidget* parent, const QString& text,
                                                 const QString& caption, MessageIcon icon,
                                                 QMessageBox::StandardButtons buttons) {
    return message(parent, text, caption, icon, buttons, QString());
}

bool UserDialogs::messageOffering(QWidget* parent, const QString& text, const QString& caption,
                                  MessageIcon icon, const QString&) {
    message(parent, text, caption, icon, QMessageBox::Ok);
    return false;
}

void UserDialogs::error(QWidget* parent, const QString& text) {
    message(parent, text, QStringLiteral("Ошибка"), MessageIcon::Error, QMessageBox::Ok);
}

void UserDialogs::information(QWidget* parent, const QString& text, const QString& caption) {
    message(parent, text, caption, MessageIcon::Information, QMessageBox::Ok);
}

QMessageBox::StandardButton StandardDialogs::message(QWidget* parent, const QString& text,
                                                     const QString& caption, MessageIcon icon,
                                                     QMessageBox::StandardButtons buttons,
                                                     const QString& details) {
    QMessageBox box(toQtIcon(icon), caption, text, buttons, parent);
    box.setDetailedText(details);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

bool StandardDialogs::messageOffering(QWidget* parent, const QString& text, const QString& caption,
                                      MessageIcon icon, const QString& action) {
    QMessageBox box(toQtIcon(icon), caption, text, QMessageBox::Ok, parent);
    QPushButton* offered = box.addButton(action, QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == offered;
}

void FileDialogRequest::suggest(const QString& path) {
    if (path.isEmpty()) {
        return;
    }
    const QFileInfo suggested(path);
    directory = suggested.absolutePath();
    fileName = suggested.fileName();
}

QString namedAfter(const std::filesystem::path& file, const QString& ending) {
    const QFileInfo info(QString::fromStdU16String(file.u16string()));
    return info.dir().filePath(info.completeBaseName() + ending);
}

QString StandardDialogs::openFileName(QWidget* parent, const FileDialogRequest& request) {
    QFileDialog dialog(parent);
    prepare(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString StandardDialogs::saveFileName(QWidget* parent, const FileDialogRequest& request) {
    QFileDialog dialog(parent);
    prepare(dialog, request);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

std::optional<QColor> StandardDialogs::color(QWidget* parent, const QColor& initial) {
    const QColor chosen = QColorDialog::getColor(initial, parent);
    return chosen.isValid() ? std::optional(chosen) : std::nullopt;
}

}  // namespace zond::ui
