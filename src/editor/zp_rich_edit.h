// A plain-text editor with a line-number gutter on its left edge and events
// for vertical and horizontal scrolling. It knows nothing of scripts.
#pragma once

#include <QColor>
#include <QWidget>

#include "editor/plain_text_pane.h"

class TZpRichEdit;

// The gutter: painted by its editor, laid over the editor's left margin.
class ZpGutter : public QWidget {
public:
    explicit ZpGutter(TZpRichEdit* editor);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TZpRichEdit* editor_;
};

class TZpRichEdit : public PlainTextPane {
    Q_OBJECT
    Q_PROPERTY(int GutterSize READ GutterSize WRITE SetGutterSize)
    Q_PROPERTY(QColor GutterColor READ GutterColor WRITE SetGutterColor)
    Q_PROPERTY(QColor GutterTextColor READ GutterTextColor WRITE SetGutterTextColor)
    Q_PROPERTY(QColor GutterBorderColor READ GutterBorderColor WRITE SetGutterBorderColor)
    Q_PROPERTY(int TopOffset READ TopOffset WRITE SetTopOffset)

public:
    explicit TZpRichEdit(QWidget* parent = nullptr);

    // Width of the gutter in pixels; 0 hides it.
    int GutterSize() const { return gutterSize_; }
    void SetGutterSize(int size);
    QColor GutterColor() const { return gutterColor_; }
    void SetGutterColor(const QColor& c);
    QColor GutterTextColor() const { return gutterTextColor_; }
    void SetGutterTextColor(const QColor& c);
    QColor GutterBorderColor() const { return gutterBorderColor_; }
    void SetGutterBorderColor(const QColor& c);
    // Vertical offset of the line numbers in pixels.
    int TopOffset() const { return topOffset_; }
    void SetTopOffset(int offset);

    ZpGutter* gutter() const { return gutter_; }
    // 0-based index of the first visible line: the gutter's top row shows
    // its number plus one.
    int firstVisibleLine() const;
    void paintGutter(QPaintEvent* event);

signals:
    // After the editor scrolled; the name is spelt so.
    void OnVericalScroll(int value);
    void OnHorizontalScroll(int value);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SetEditRect();
    void SetPanelSize();

    ZpGutter* gutter_;
    int gutterSize_ = 0;
    QColor gutterColor_;
    QColor gutterTextColor_;
    QColor gutterBorderColor_;
    int topOffset_ = 0;
};
