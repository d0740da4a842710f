#include "editor/zp_rich_edit.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>

ZpGutter::ZpGutter(TZpRichEdit* editor) : QWidget(editor), editor_(editor) {}

QSize ZpGutter::sizeHint() const
{
    return QSize(editor_->GutterSize(), 0);
}

void ZpGutter::paintEvent(QPaintEvent* event)
{
    editor_->paintGutter(event);
}

TZpRichEdit::TZpRichEdit(QWidget* parent)
    : PlainTextPane(parent),
      gutter_(new ZpGutter(this)),
      // The inactive-caption colours of the system; the border starts black.
      gutterColor_(67, 78, 84),
      gutterTextColor_(191, 205, 219),
      gutterBorderColor_(Qt::black)
{
    // Every scroll and every change of the visible text repaints the gutter,
    // so its numbers follow the first visible line.
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
        if (dy)
            gutter_->scroll(0, dy);
        gutter_->update(0, rect.y(), gutter_->width(), rect.height());
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        gutter_->update();
        emit OnVericalScroll(value);
    });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) { emit OnHorizontalScroll(value); });
    SetEditRect();
}

void TZpRichEdit::SetGutterSize(int size)
{
    gutterSize_ = qBound(0, size, 0xFFFF);
    SetEditRect();
}

void TZpRichEdit::SetGutterColor(const QColor& c)
{
    gutterColor_ = c;
    gutter_->repaint();
}

void TZpRichEdit::SetGutterTextColor(const QColor& c)
{
    gutterTextColor_ = c;
    gutter_->repaint();
}

void TZpRichEdit::SetGutterBorderColor(const QColor& c)
{
    gutterBorderColor_ = c;
    gutter_->repaint();
}

void TZpRichEdit::SetTopOffset(int offset)
{
    topOffset_ = qBound(0, offset, 0xFFFF);
    gutter_->repaint();
}

void TZpRichEdit::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    SetPanelSize();
}

// The text starts right of the gutter.
void TZpRichEdit::keyPressEvent(QKeyEvent* event)
{
    // Shift+Enter would put a line separator inside a line, which a run and a
    // file cannot hold alike: a script has only real line ends.
    if (event->matches(QKeySequence::InsertLineSeparator)) {
        QKeyEvent plain(event->type(), event->key(), event->modifiers() & ~Qt::ShiftModifier, event->text(),
                        event->isAutoRepeat(), event->count());
        PlainTextPane::keyPressEvent(&plain);
        event->setAccepted(plain.isAccepted());
        return;
    }
    PlainTextPane::keyPressEvent(event);
}

void TZpRichEdit::SetEditRect()
{
    setViewportMargins(gutterSize_, 0, 0, 0);
    SetPanelSize();
}

// The gutter covers the left margin from the top of the text area down to
// the horizontal scroll bar, when one is shown.
void TZpRichEdit::SetPanelSize()
{
    QRect vp = viewport()->geometry();
    gutter_->setGeometry(QRect(contentsRect().left(), vp.top(), gutterSize_, vp.height()));
    gutter_->setVisible(gutterSize_ > 0);
}

int TZpRichEdit::firstVisibleLine() const
{
    return firstVisibleBlock().blockNumber();
}

void TZpRichEdit::paintGutter(QPaintEvent* event)
{
    QPainter p(gutter_);
    p.setFont(font());
    p.fillRect(event->rect(), gutterColor_);
    const int r = gutter_->width();
    const int h = qMax(1, fontMetrics().height());
    const int height = gutter_->height();

    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    p.setPen(gutterTextColor_);
    while (block.isValid() && top < height) {
        if (block.isVisible()) {
            QString number = QString::number(block.blockNumber() + 1);
            int w = p.fontMetrics().horizontalAdvance(number);
            p.drawText(QRect(r - w - 4, int(top) + topOffset_, w, h), Qt::AlignLeft | Qt::AlignTop, number);
        }
        top += blockBoundingRect(block).height();
        block = block.next();
    }
    // The border runs the gutter's full height, also past the last line.
    p.setPen(gutterBorderColor_);
    p.drawLine(r - 2, 0, r - 2, height);
}
