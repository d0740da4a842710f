// A plain-text pane whose paste takes text only. Qt 6.4's own paste crashes
// on clipboard data without text (an empty clipboard under X11), so the
// pane never hands such data on.
#pragma once

#include <QPlainTextEdit>

class PlainTextPane : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit PlainTextPane(QWidget* parent = nullptr) : QPlainTextEdit(parent) {}

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
};
