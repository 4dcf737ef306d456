#include "app/splash_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace {

// Text in the largest size up to `pixelSize` that fits the box's width with whatever font the
// system substitutes.
void drawFitted(QPainter& p, const QRect& box, int pixelSize, bool bold, const QColor& color,
                const QString& text) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(bold);
    for (; pixelSize > 8; --pixelSize) {
        font.setPixelSize(pixelSize);
        if (QFontMetrics(font).horizontalAdvance(text) <= box.width()) {
            break;
        }
    }
    p.setFont(font);
    p.setPen(color);
    p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text);
}

}  // namespace

QPixmap makerLogo() {
    QPixmap logo(400, 78);
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 400, 78);
    sky.setColorAt(0, QColor(12, 45, 110));
    sky.setColorAt(1, QColor(40, 110, 190));
    p.fillRect(logo.rect(), sky);

    // A wall with heat flowing through it: the instrument's subject.
    p.fillRect(QRect(18, 10, 14, 58), QColor(200, 200, 205));
    p.setPen(QPen(QColor(255, 150, 40), 3, Qt::SolidLine, Qt::RoundCap));
    for (int y = 20; y <= 56; y += 12) {
        p.drawLine(40, y, 62, y);
        p.drawLine(62, y, 56, y - 5);
        p.drawLine(62, y, 56, y + 5);
    }

    const QRect titleBox(80, 6, 312, 40);
    const QRect subtitleBox(80, 46, 312, 24);
    drawFitted(p, titleBox, 28, true, Qt::white, QStringLiteral("ЗОНД-8Т.05 \"Тавис\""));
    drawFitted(p, subtitleBox, 13, false, QColor(210, 225, 245),
               QStringLiteral("Orbelin · измеритель тепловых потоков"));
    return logo;
}

SplashWindow::SplashWindow(QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      logo_(new QLabel(this)),
      timer_(new QTimer(this)) {
    setObjectName(QStringLiteral("Form5"));
    setFixedSize(400, 77);
    logo_->setObjectName(QStringLiteral("Image1"));
    logo_->setGeometry(0, 0, 401, 81);
    logo_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    logo_->setPixmap(makerLogo());
    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setTimerType(Qt::PreciseTimer);
    timer_->setInterval(kShowMilliseconds);
    connect(timer_, &QTimer::timeout, this, &SplashWindow::onTimeout);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().center() - rect().center());
    }
}

void SplashWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    timer_->start();
}

void SplashWindow::onTimeout() {
    timer_->stop();
    accept();
}
