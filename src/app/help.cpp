#include "app/help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QVariant>

#include "ui/window_placement.h"

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

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser) {
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Помощь"));
    resize(900, 700);
    browser_->setObjectName(QStringLiteral("guide"));
    browser_->setOpenExternalLinks(true);  // web addresses go to the system, if it has a browser
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
}

void HelpViewer::keyPressEvent(QKeyEvent* event) {
    // The browser leaves Esc to its window.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool HelpViewer::showGuide(const QString& path) {
    if (!QFileInfo(path).isReadable()) {
        return false;
    }
    browser_->setSource(QUrl::fromLocalFile(path));
    if (!isVisible() && parentWidget() != nullptr) {
        ui::centreOver(*this, *parentWidget()->window());
    }
    show();
    raise();
    activateWindow();
    return true;
}

}  // namespace zond::app
