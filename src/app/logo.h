// TForm5: the splash window shown for three seconds at start.
#pragma once

#include <QDialog>
#include <QPixmap>

class QLabel;
class QTimer;

// The maker's logo, 400 x 78.
QPixmap makerLogo();

class TForm5 : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kShowMilliseconds = 3000;

    explicit TForm5(QWidget* parent = nullptr);

    QTimer* timer() const { return Timer1; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void Timer1Timer();

    QLabel* Image1;
    QTimer* Timer1;
};
