#include "app/help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QVariant>

namespace zond::app {

namespace {

constexpr char kHelpFileProperty[] = "zondHelpFile";

}  // namespace

QString findHelpFile(const QString& programDir, const QString& developmentFile) {
    const QDir dir(programDir);
    for (const QString& candidate : {dir.filePath(QLatin1String(kHelpFileName)),
                                     dir.filePath(QStringLiteral(ZOND_INSTALLED_HELP_DIR "/") +
                                                  QLatin1String(kHelpFileName))}) {
        if (QFileInfo::exists(candidate)) {
            return QDir::cleanPath(candidate);
        }
    }
    return developmentFile;
}

void setApplicationHelpFile(const QString& path) {
    QCoreApplication::instance()->setProperty(kHelpFileProperty, path);
}

QString applicationHelpFile() {
    return QCoreApplication::instance()->property(kHelpFileProperty).toString();
}

bool showHelpContents() {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(applicationHelpFile()));
}

}  // namespace zond::app
