#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace zond::app {

namespace {

// Qt 6 asks for the file types of its file dialogs ("Drive", "File Folder" …) under a context its
// Russian catalogue does not have yet; the catalogue holds them under the file dialog's context.
class FileTypeTranslator final : public QTranslator {
  public:
    FileTypeTranslator(const QTranslator& qtbase, QObject* parent)
        : QTranslator(parent), qtbase_(qtbase) {}

    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0) {
            return {};
        }
        return qtbase_.translate("QFileDialog", sourceText, disambiguation, n);
    }
    bool isEmpty() const override { return false; }

  private:
    const QTranslator& qtbase_;
};

}  // namespace

bool installQtTranslations() {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_ru"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(
        new FileTypeTranslator(*translator, QCoreApplication::instance()));
    return QCoreApplication::installTranslator(translator);
}

}  // namespace zond::app
