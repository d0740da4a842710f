// A splitter that paints a grip picture centred on its handle; the picture's
// height sets the handle's thickness.
#pragma once

#include <QImage>
#include <QSplitter>
#include <QSplitterHandle>

class ZvSplitter;

class ZvSplitterHandle : public QSplitterHandle {
public:
    ZvSplitterHandle(Qt::Orientation o, ZvSplitter* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ZvSplitter* splitter_;
};

class ZvSplitter : public QSplitter {
    Q_OBJECT
    Q_PROPERTY(QImage Picture READ Picture WRITE SetPicture)
    Q_PROPERTY(bool PictureTransparent READ PictureTransparent WRITE SetTransparent)

public:
    explicit ZvSplitter(Qt::Orientation orientation, QWidget* parent = nullptr);

    const QImage& Picture() const { return picture_; }
    void SetPicture(const QImage& picture);
    bool PictureTransparent() const { return transparent_; }
    void SetTransparent(bool transparent);

    // The picture as painted: with the colour of its bottom-left pixel made
    // transparent while PictureTransparent is set.
    const QImage& paintedPicture() const { return painted_; }

protected:
    QSplitterHandle* createHandle() override;

private:
    void Prepare();
    void RepaintHandles();

    QImage picture_;
    QImage painted_;
    bool transparent_ = true;
};

// The editor's grip: a 52 x 6 bar with a small triangle pointing down.
QImage GripPicture();
