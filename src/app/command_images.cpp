#include "app/command_images.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace zond::app {

namespace {

constexpr int kSize = 16;

const QColor kInk(40, 40, 40);
const QColor kPaper(250, 250, 250);

void drawPage(QPainter& p) {
    QPainterPath page;
    page.moveTo(3.5, 1.5);
    page.lineTo(9.5, 1.5);
    page.lineTo(12.5, 4.5);
    page.lineTo(12.5, 14.5);
    page.lineTo(3.5, 14.5);
    page.closeSubpath();
    p.setPen(kInk);
    p.setBrush(kPaper);
    p.drawPath(page);
}

void drawCreate(QPainter& p) {
    drawPage(p);
    p.setPen(QPen(QColor(30, 140, 40), 2));
    p.drawLine(QPointF(11, 9), QPointF(11, 15));
    p.drawLine(QPointF(8, 12), QPointF(14, 12));
}

void drawOpen(QPainter& p) {
    p.setPen(kInk);
    p.setBrush(QColor(230, 190, 80));
    p.drawRect(QRectF(1.5, 4.5, 12, 9));
    p.setBrush(QColor(250, 215, 110));
    const QPointF flap[] = {{3.5, 7.5}, {15.5, 7.5}, {13.5, 13.5}, {1.5, 13.5}};
    p.drawPolygon(flap, 4);
}

void drawSave(QPainter& p) {
    p.setPen(kInk);
    p.setBrush(QColor(60, 90, 170));
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(4.5, 9.5, 7, 5));
}

void drawPreview(QPainter& p) {
    drawPage(p);
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(QColor(200, 225, 255));
    p.drawEllipse(QPointF(7, 7), 3, 3);
    p.drawLine(QPointF(9.2, 9.2), QPointF(13, 13));
}

void drawPrint(QPainter& p) {
    p.setPen(kInk);
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(170, 170, 170));
    p.drawRect(QRectF(1.5, 6.5, 13, 6));
    p.setBrush(kPaper);
    p.drawRect(QRectF(4.5, 10.5, 7, 4));
}

void drawHelp(QPainter& p) {
    p.setPen(QColor(20, 60, 150));
    p.setBrush(QColor(60, 120, 220));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    QFont font;
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, kSize, kSize), Qt::AlignCenter, QStringLiteral("?"));
}

void drawDeleteRows(QPainter& p) {
    p.setPen(QPen(QColor(200, 30, 30), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

struct ImageSource {
    const char* themeName;
    void (*draw)(QPainter&);
};

ImageSource sourceOf(CommandImage image) {
    switch (image) {
        case CommandImage::Create:
            return {"document-new", drawCreate};
        case CommandImage::Open:
            return {"document-open", drawOpen};
        case CommandImage::Save:
            return {"document-save", drawSave};
        case CommandImage::Preview:
            return {"document-print-preview", drawPreview};
        case CommandImage::Print:
            return {"document-print", drawPrint};
        case CommandImage::Help:
            return {"help-contents", drawHelp};
        case CommandImage::DeleteRows:
            break;
    }
    return {"edit-delete", drawDeleteRows};
}

}  // namespace

QIcon commandImage(CommandImage image) {
    const ImageSource source = sourceOf(image);
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        source.draw(painter);
    }
    return QIcon::fromTheme(QString::fromLatin1(source.themeName), QIcon(pixmap));
}

}  // namespace zond::app
