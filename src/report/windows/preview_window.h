// "Предварительный просмотр": the laid-out pages on screen, with zoom, saved reports, printing
// and search.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "report/report_document.h"

class QLineEdit;
class QScrollArea;
class QToolBar;
class QWidget;

namespace zond::ui {
class UserDialogs;
}

namespace zond::report {

class PageView;
class PrinterAccess;

class PreviewWindow final : public QDialog {
    Q_OBJECT

  public:
    enum class ZoomMode { Percent, PageWidth, WholePage, TwoPages };

    PreviewWindow(ReportDocument document, PrinterAccess& printers, ui::UserDialogs& dialogs,
                  QWidget* parent);
    ~PreviewWindow() override;

    const ReportDocument& document() const { return document_; }
    void setHelp(std::function<void(QWidget*)> help) { help_ = std::move(help); }
    // Where the save dialogs start: a path without the suffix, e.g. "/data/T1_отчёт".
    void setSuggestedFile(const QString& path) { suggestedFile_ = path; }

    void setZoom(ZoomMode mode, int percent = 100);
    ZoomMode zoomMode() const { return zoomMode_; }
    int currentPage() const;  // 0-based, the page at the top of the view

    // Finds the next occurrence after the last one found and scrolls it into view; tells the user
    // when there is none.
    bool findNext(const QString& text);
    std::optional<TextPosition> lastFound() const { return lastFound_; }

    QToolBar* toolBar() const { return toolBar_; }
    PageView* pageView() const { return view_; }
    QLineEdit* searchEdit() const { return searchEdit_; }

    void openReport();
    void saveReport();
    void savePdf();
    void printReport();
    void showSearch();
    void showHelp();

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void buildToolBar();
    void applyZoom();
    void showDocument();
    // Asks for a file to save into; empty when cancelled.
    QString askSaveName(const QString& title, const QString& filter, const QString& suffix);

    ReportDocument document_;
    PrinterAccess& printers_;
    ui::UserDialogs& dialogs_;
    std::function<void(QWidget*)> help_;
    QToolBar* toolBar_;
    QScrollArea* scroll_;
    PageView* view_;
    QWidget* searchBar_;
    QLineEdit* searchEdit_;
    ZoomMode zoomMode_ = ZoomMode::PageWidth;
    int zoomPercent_ = 100;
    std::optional<TextPosition> lastFound_;
    QString lastSearch_;
    QString suggestedFile_;
};

}  // namespace zond::report
