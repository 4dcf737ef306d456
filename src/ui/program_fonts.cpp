#include "ui/program_fonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>

namespace zond::ui {

void registerProgramFonts() {
    const QDir folder(QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"));
    bool registered = false;
    for (const QString& name : folder.entryList({QStringLiteral("*.ttf")}, QDir::Files)) {
        registered |= QFontDatabase::addApplicationFont(folder.filePath(name)) >= 0;
    }
    if (!registered) {
        return;
    }
    // Used only where a family is missing: Windows has Arial and MS Sans Serif in its windows,
    // while pages drawn without a display see the shipped fonts alone.
    const QString sans = QStringLiteral("DejaVu Sans");
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    for (const char* family : {"Sans Serif", "MS Sans Serif"}) {
        QFont::insertSubstitution(QString::fromLatin1(family), sans);
    }
}

}  // namespace zond::ui
