#include "editor/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QIcon ToolIconImage(ToolIcon which)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor outline(64, 64, 64);
    switch (which) {
    case ToolIcon::New: {
        // A sheet with a folded corner.
        QPainterPath sheet;
        sheet.moveTo(3.5, 1.5);
        sheet.lineTo(9.5, 1.5);
        sheet.lineTo(12.5, 4.5);
        sheet.lineTo(12.5, 14.5);
        sheet.lineTo(3.5, 14.5);
        sheet.closeSubpath();
        p.setPen(outline);
        p.setBrush(Qt::white);
        p.drawPath(sheet);
        p.drawLine(QPointF(9.5, 1.5), QPointF(9.5, 4.5));
        p.drawLine(QPointF(9.5, 4.5), QPointF(12.5, 4.5));
        break;
    }
    case ToolIcon::Open: {
        // An open folder.
        p.setPen(outline);
        p.setBrush(QColor(230, 190, 80));
        p.drawRect(QRectF(1.5, 4.5, 11, 9));
        p.drawRect(QRectF(1.5, 3.0, 5, 1.5));
        QPainterPath flap;
        flap.moveTo(3.5, 7.5);
        flap.lineTo(14.5, 7.5);
        flap.lineTo(12.5, 13.5);
        flap.lineTo(1.5, 13.5);
        flap.closeSubpath();
        p.setBrush(QColor(250, 215, 110));
        p.drawPath(flap);
        break;
    }
    case ToolIcon::Save:
        // A disk with its label and shutter.
        p.setPen(outline);
        p.setBrush(QColor(60, 90, 170));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(4.5, 9.5, 7, 5));
        break;
    case ToolIcon::Run: {
        // A triangle pointing right.
        QPainterPath t;
        t.moveTo(4, 2);
        t.lineTo(13, 8);
        t.lineTo(4, 14);
        t.closeSubpath();
        p.setPen(QColor(20, 100, 20));
        p.setBrush(QColor(40, 170, 40));
        p.drawPath(t);
        break;
    }
    case ToolIcon::Stop:
        p.setPen(QColor(130, 20, 20));
        p.setBrush(QColor(210, 40, 40));
        p.drawRect(QRectF(3.5, 3.5, 9, 9));
        break;
    case ToolIcon::Help: {
        p.setPen(QColor(30, 60, 140));
        p.setBrush(QColor(70, 120, 210));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(11);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    }
    p.end();
    return QIcon(pm);
}

void PaintProgramMark(QPainter& p, const QRectF& square)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x4e, 0x8c));
    const qreal radius = square.width() * 6 / 28;
    p.drawRoundedRect(square, radius, radius);
    p.setPen(Qt::white);
    QFont f(QStringLiteral("Sans Serif"));
    f.setPixelSize(qMax(1, int(square.height() * 20 / 28)));
    f.setBold(true);
    p.setFont(f);
    p.drawText(square, Qt::AlignCenter, QStringLiteral("S"));
    p.restore();
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        PaintProgramMark(p, QRectF(0, 0, size, size));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}
