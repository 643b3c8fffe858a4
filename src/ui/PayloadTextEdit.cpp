#include "PayloadTextEdit.h"

namespace zl {

PayloadTextEdit::PayloadTextEdit(QWidget *parent) : QPlainTextEdit(parent)
{
}

QSize PayloadTextEdit::sizeHint() const
{
    return {QPlainTextEdit::sizeHint().width(), minimumHeight()};
}

} // namespace zl
