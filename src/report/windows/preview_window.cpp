#include "report/windows/preview_window.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "report/report_file.h"
#include "report/report_painter.h"
#include "report/windows/page_view.h"
#include "report/windows/report_printing.h"
#include "ui/user_dialogs.h"

namespace zond::report {

namespace {

const QString kReportFilter = QStringLiteral("(*.frp)");
constexpr int kZoomPercents[] = {200, 150, 100, 75, 50, 25, 10};

}  // namespace

PreviewWindow::PreviewWindow(ReportDocument document, PrinterAccess& printers,
                             ui::UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent),
      document_(std::move(document)),
      printers_(printers),
      dialogs_(dialogs),
      toolBar_(new QToolBar(this)),
      scroll_(new QScrollArea(this)),
      view_(new PageView(scroll_)),
      searchBar_(new QWidget(this)),
      searchEdit_(new QLineEdit(searchBar_)) {
    setWindowTitle(QStringLiteral("Предварительный просмотр"));
    setModal(true);
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    resize(1000, 700);

    buildToolBar();
    scroll_->setWidget(view_);
    scroll_->setWidgetResizable(true);
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    auto* findButton = new QPushButton(QStringLiteral("Найти далее"), searchBar_);
    auto* searchLayout = new QHBoxLayout(searchBar_);
    searchLayout->setContentsMargins(4, 2, 4, 2);
    searchLayout->addWidget(new QLabel(QStringLiteral("Найти:"), searchBar_));
    searchLayout->addWidget(searchEdit_, 1);
    searchLayout->addWidget(findButton);
    searchBar_->hide();
    const auto findTyped = [this] { findNext(searchEdit_->text()); };
    connect(searchEdit_, &QLineEdit::returnPressed, this, findTyped);
    connect(findButton, &QPushButton::clicked, this, findTyped);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar_);
    layout->addWidget(scroll_, 1);
    layout->addWidget(searchBar_);
    showDocument();
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::buildToolBar() {
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* zoomMenu = new QMenu(this);
    for (const int percent : kZoomPercents) {
        zoomMenu->addAction(QStringLiteral("%1 %").arg(percent), this,
                            [this, percent] { setZoom(ZoomMode::Percent, percent); });
    }
    zoomMenu->addAction(QStringLiteral("По ширине страницы"), this,
                        [this] { setZoom(ZoomMode::PageWidth); });
    zoomMenu->addAction(QStringLiteral("Страница целиком"), this,
                        [this] { setZoom(ZoomMode::WholePage); });
    zoomMenu->addAction(QStringLiteral("Две страницы"), this,
                        [this] { setZoom(ZoomMode::TwoPages); });
    auto* zoom = new QToolButton(toolBar_);
    zoom->setText(QStringLiteral("Масштаб"));
    zoom->setMenu(zoomMenu);
    zoom->setPopupMode(QToolButton::InstantPopup);
    toolBar_->addWidget(zoom);

    toolBar_->addAction(QStringLiteral("Открыть отчет"), this, &PreviewWindow::openReport);
    toolBar_->addAction(QStringLiteral("Сохранить отчет в файле"), this,
                        &PreviewWindow::saveReport);
    toolBar_->addAction(QStringLiteral("Сохранить как PDF…"), this, &PreviewWindow::savePdf);
    toolBar_->addAction(QStringLiteral("Печать отчета"), this, &PreviewWindow::printReport);
    toolBar_->addAction(QStringLiteral("Поиск"), this, &PreviewWindow::showSearch);
    toolBar_->addAction(QStringLiteral("Показать справку"), this, &PreviewWindow::showHelp);
    toolBar_->addAction(QStringLiteral("Выход"), this, &QDialog::accept);
}

void PreviewWindow::showDocument() {
    lastFound_.reset();
    view_->setDocument(&document_);
    applyZoom();
    scroll_->verticalScrollBar()->setValue(0);
}

void PreviewWindow::setZoom(ZoomMode mode, int percent) {
    zoomMode_ = mode;
    zoomPercent_ = percent;
    applyZoom();
}

void PreviewWindow::applyZoom() {
    const QSizeF page = view_->unzoomedPageSize();
    if (page.isEmpty()) {
        return;
    }
    // Room for the pages inside the view, scroll bar included.
    const QSize room =
        scroll_->maximumViewportSize() - QSize(scroll_->verticalScrollBar()->sizeHint().width(), 0);
    const double gap = PageView::kGap;
    const double widthFit = (room.width() - 2 * gap) / page.width();
    const double wholeFit = std::min(widthFit, (room.height() - 2 * gap) / page.height());
    switch (zoomMode_) {
        case ZoomMode::Percent:
            view_->setZoom(zoomPercent_ / 100.0, 1);
            break;
        case ZoomMode::PageWidth:
            view_->setZoom(std::max(0.05, widthFit), 1);
            break;
        case ZoomMode::WholePage:
            view_->setZoom(std::max(0.05, wholeFit), 1);
            break;
        case ZoomMode::TwoPages: {
            const double twoFit = std::min((room.width() - 3 * gap) / (2 * page.width()),
                                           (room.height() - 2 * gap) / page.height());
            view_->setZoom(std::max(0.05, twoFit), 2);
            break;
        }
    }
}

void PreviewWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    applyZoom();
}

int PreviewWindow::currentPage() const {
    return view_->pageAt(QPoint(0, scroll_->verticalScrollBar()->value()));
}

bool PreviewWindow::findNext(const QString& text) {
    if (text != lastSearch_) {
        lastFound_.reset();
        lastSearch_ = text;
    }
    const auto found = findText(document_, text, lastFound_);
    view_->setHighlight(found);
    if (!found) {
        dialogs_.information(this, QStringLiteral("Текст не найден"), QStringLiteral("Поиск"));
        return false;
    }
    lastFound_ = found;
    const QRect area = view_->itemRect(*found);
    scroll_->ensureVisible(area.center().x(), area.center().y(), area.width() / 2 + 40,
                           area.height() / 2 + 40);
    return true;
}

void PreviewWindow::openReport() {
    const QString path = dialogs_.openFileName(
        this, ui::FileDialogRequest{
                  QStringLiteral("Открыть отчет"), {}, {}, kReportFilter, QStringLiteral("frp")});
    if (path.isEmpty()) {
        return;
    }
    try {
        document_ = loadReport(path);
    } catch (const ReportFileError& error) {
        dialogs_.error(this, QString::fromStdString(error.what()));
        return;
    }
    showDocument();
}

QString PreviewWindow::askSaveName(const QString& title, const QString& filter,
                                   const QString& suffix) {
    ui::FileDialogRequest request{title, {}, {}, filter, suffix};
    if (!suggestedFile_.isEmpty()) {
        request.suggest(suggestedFile_ + QLatin1Char('.') + suffix);
    }
    return dialogs_.saveFileName(this, request);
}

void PreviewWindow::saveReport() {
    const QString path = askSaveName(QStringLiteral("Сохранить отчет в файле"), kReportFilter,
                                     QStringLiteral("frp"));
    if (path.isEmpty()) {
        return;
    }
    try {
        report::saveReport(document_, path);
    } catch (const ReportFileError& error) {
        dialogs_.error(this, QString::fromStdString(error.what()));
    }
}

void PreviewWindow::savePdf() {
    const QString path = askSaveName(QStringLiteral("Сохранить как PDF"),
                                     QStringLiteral("PDF (*.pdf)"), QStringLiteral("pdf"));
    if (path.isEmpty()) {
        return;
    }
    try {
        writePdf(document_, path);
    } catch (const ReportOutputError& error) {
        dialogs_.error(this, QString::fromStdString(error.what()));
    }
}

void PreviewWindow::printReport() {
    printDocument(this, document_, printers_, dialogs_, currentPage() + 1);
}

void PreviewWindow::showSearch() {
    searchBar_->show();
    searchEdit_->setFocus();
    searchEdit_->selectAll();
}

void PreviewWindow::showHelp() {
    if (help_) {
        help_(this);
        return;
    }
    dialogs_.information(
        this,
        QStringLiteral("Масштаб — размер страниц на экране.\n"
                       "Открыть отчет — показать отчет, сохраненный ранее.\n"
                       "Сохранить отчет в файле — сохранить эти страницы (*.frp).\n"
                       "Сохранить как PDF — записать страницы в файл PDF.\n"
                       "Печать отчета — напечатать страницы на принтере.\n"
                       "Поиск — найти текст на страницах.\n"
                       "Выход — закрыть окно."),
        QStringLiteral("Предварительный просмотр"));
}

}  // namespace zond::report
