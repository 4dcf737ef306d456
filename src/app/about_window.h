// AboutWindow: the about window.
#pragma once

#include <QDialog>

class QLabel;

// The executable's file version: its version resource on Windows, the build's elsewhere.
QString programFileVersion();
// "Версия " and the version, or "0.0.0.0" when the version is missing or too short.
QString versionLine(const QString& fileVersion);

class AboutWindow : public QDialog {
    Q_OBJECT

  public:
    explicit AboutWindow(QWidget* parent = nullptr);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* titleLabel_;
    QLabel* purposeLabel_;
    QLabel* versionLabel_;
};
