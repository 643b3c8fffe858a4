#pragma once

#include <QLabel>

class QPlainTextEdit;

namespace zl {

/**
 * A hint lying over the top-leading corner of a text editor while the editor's text is empty.
 * It takes no clicks, so typing and clicking reach the editor underneath.
 */
class PlaceholderOverlay final : public QLabel
{
    Q_OBJECT

public:
    explicit PlaceholderOverlay(QPlainTextEdit *editor);

    /** Shown exactly when text has no characters; a space or a line break hides it. */
    void follow(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();

    QPlainTextEdit *m_editor;
};

} // namespace zl
