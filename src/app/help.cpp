#include "app/help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>
#include <QVariant>

namespace zond::app {

namespace {

constexpr char kHelpFileProperty[] = "zondHelpFile";

}  // namespace

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
