#include "PlaceholderOverlay.h"

#include <QEvent>
#include <QPlainTextEdit>

namespace zl {

namespace {

constexpr int kTop = 8;
constexpr int kLeading = 5;

} // namespace

PlaceholderOverlay::PlaceholderOverlay(QPlainTextEdit *editor) : QLabel(editor), m_editor(editor)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setForegroundRole(QPalette::PlaceholderText);
    editor->installEventFilter(this);
    place();
}

void PlaceholderOverlay::follow(const QString &text)
{
    setVisible(text.isEmpty());
    place();
}

bool PlaceholderOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_editor && (event->type() == QEvent::Resize || event->type() == QEvent::FontChange)) {
        setFont(m_editor->font());
        place();
    }
    return QLabel::eventFilter(watched, event);
}

void PlaceholderOverlay::place()
{
    const QRect area = m_editor->contentsRect().adjusted(kLeading, kTop, -kLeading, -kTop);
    const int height = std::min(area.height(), heightForWidth(area.width()));
    setGeometry(area.left(), area.top(), area.width(), std::max(0, height));
}

} // namespace zl
