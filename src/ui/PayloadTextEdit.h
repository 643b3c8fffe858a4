#pragma once

#include <QPlainTextEdit>

namespace zl {

/**
 * A multi-line payload editor that asks for no more height than its minimum and takes what
 * the form has left, so the form scrolls only when even the minimum does not fit.
 */
class PayloadTextEdit final : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit PayloadTextEdit(QWidget *parent = nullptr);

    QSize sizeHint() const override;
};

} // namespace zl
