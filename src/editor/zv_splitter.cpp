#include "editor/zv_splitter.h"

#include <QPainter>

ZvSplitterHandle::ZvSplitterHandle(Qt::Orientation o, ZvSplitter* parent) : QSplitterHandle(o, parent), splitter_(parent)
{
}

void ZvSplitterHandle::paintEvent(QPaintEvent* event)
{
    QSplitterHandle::paintEvent(event);
    const QImage& pic = splitter_->paintedPicture();
    if (pic.isNull())
        return;
    QPainter p(this);
    // Integer halves, so a picture wider than the handle starts left of it.
    int x = (width() - pic.width()) / 2;
    int y = (height() - pic.height()) / 2;
    p.drawImage(x, y, pic);
}

ZvSplitter::ZvSplitter(Qt::Orientation orientation, QWidget* parent) : QSplitter(orientation, parent) {}

QSplitterHandle* ZvSplitter::createHandle()
{
    return new ZvSplitterHandle(orientation(), this);
}

void ZvSplitter::SetPicture(const QImage& picture)
{
    picture_ = picture;
    Prepare();
    // The handle is as thick as the picture is high.
    if (!picture_.isNull())
        setHandleWidth(picture_.height());
    RepaintHandles();
}

void ZvSplitter::SetTransparent(bool transparent)
{
    transparent_ = transparent;
    Prepare();
    RepaintHandles();
}

void ZvSplitter::Prepare()
{
    if (picture_.isNull() || !transparent_) {
        painted_ = picture_;
        return;
    }
    painted_ = picture_.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = picture_.pixel(0, picture_.height() - 1);
    for (int y = 0; y < painted_.height(); ++y)
        for (int x = 0; x < painted_.width(); ++x)
            if ((painted_.pixel(x, y) & 0xFFFFFF) == (key & 0xFFFFFF))
                painted_.setPixel(x, y, 0);
}

void ZvSplitter::RepaintHandles()
{
    for (int i = 0; i < count(); ++i)
        if (QSplitterHandle* h = handle(i))
            h->update();
}

QImage GripPicture()
{
    const QColor bar(214, 211, 198), top(255, 255, 255), bottom(173, 168, 161), arrow(115, 109, 99), key(255, 0, 0);
    QImage img(52, 6, QImage::Format_RGB888);
    for (int x = 0; x < 52; ++x) {
        img.setPixelColor(x, 0, top);
        for (int y = 1; y < 5; ++y)
            img.setPixelColor(x, y, bar);
        img.setPixelColor(x, 5, bottom);
    }
    for (int x : {0, 51})
        for (int y : {0, 5})
            img.setPixelColor(x, y, key);
    // The triangle: 6, 4 and 2 pixels wide, centred.
    for (int row = 0; row < 3; ++row)
        for (int x = 23 + row; x <= 28 - row; ++x)
            img.setPixelColor(x, 1 + row, arrow);
    return img;
}
