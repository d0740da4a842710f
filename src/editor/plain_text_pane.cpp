#include "editor/plain_text_pane.h"

#include <QMimeData>

namespace {

bool HoldsText(const QMimeData* source)
{
    return source && source->hasText() && !source->text().isEmpty();
}

}  // namespace

bool PlainTextPane::canInsertFromMimeData(const QMimeData* source) const
{
    return HoldsText(source);
}

void PlainTextPane::insertFromMimeData(const QMimeData* source)
{
    // Nothing to insert, or a pane the user cannot write into.
    if (isReadOnly() || !HoldsText(source))
        return;
    // As plain text: a paste must not bring foreign formatting or objects.
    textCursor().insertText(source->text());
    ensureCursorVisible();
}
