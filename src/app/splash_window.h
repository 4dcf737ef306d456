// SplashWindow: the splash window shown for three seconds at start.
#pragma once

#include <QDialog>
#include <QPixmap>

class QLabel;
class QTimer;

// The maker's logo, 400 x 78.
QPixmap makerLogo();

class SplashWindow : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kShowMilliseconds = 3000;

    explicit SplashWindow(QWidget* parent = nullptr);

    QTimer* timer() const { return timer_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void onTimeout();

    QLabel* logo_;
    QTimer* timer_;
};
