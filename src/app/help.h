// The application's help file and the help command.
#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace zond::app {

// The user guide's file name.
inline constexpr char kHelpFileName[] = "zond_tavis.html";

// The user guide found for a program in programDir: beside it (a build folder, a Windows
// installation), in the installed data folder (bin/../share/zond8t), else developmentFile (the
// source tree's copy, for a program run from where it was built).
QString findHelpFile(const QString& programDir, const QString& developmentFile);

void setApplicationHelpFile(const QString& path);
QString applicationHelpFile();

// Opens the help file's contents in the system's viewer; false when no viewer took it.
bool showHelpContents();

// "Помощь" of the program itself, for a system where nothing opens the guide: the guide in a
// window of its own, with its links and pictures. Esc closes it.
class HelpViewer : public QWidget {
    Q_OBJECT

  public:
    explicit HelpViewer(QWidget* parent = nullptr);

    // Shows the guide from its start; false when the file cannot be read.
    bool showGuide(const QString& path);
    QTextBrowser* browser() const { return browser_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QTextBrowser* browser_;
};

}  // namespace zond::app
