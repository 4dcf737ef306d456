#include "logo.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTimer>

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

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(28);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(80, 6, 312, 40), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("ЗОНД-8Т.05 \"Тавис\""));
    QFont subtitle(QStringLiteral("DejaVu Sans"));
    subtitle.setPixelSize(13);
    p.setFont(subtitle);
    p.setPen(QColor(210, 225, 245));
    p.drawText(QRect(80, 46, 312, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Orbelin · измеритель плотности тепловых потоков"));
    return logo;
}

TForm5::TForm5(QWidget* parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      Image1(new QLabel(this)),
      Timer1(new QTimer(this)) {
    setObjectName(QStringLiteral("Form5"));
    setFixedSize(400, 77);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 401, 81);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(makerLogo());
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(kShowMilliseconds);
    connect(Timer1, &QTimer::timeout, this, &TForm5::Timer1Timer);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().center() - rect().center());
    }
}

void TForm5::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Timer1->start();
}

void TForm5::Timer1Timer() {
    Timer1->stop();
    accept();
}
