// A plain X client for the paste tests: one text field that keeps the focus. It writes its whole
// text to <out> on every change and one line per key press to <out>.keys. Commands on stdin:
// "own" puts text/plain, text/html and image/png on the clipboard; "group N" locks keyboard group N,
// as a layout switcher does.
// With --terminal it pastes only on Control+Shift+V, as terminal emulators do.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QSocketNotifier>

// xkb.h names a field "explicit"; it is never used here.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>

#include <unistd.h>

namespace {

class Target final : public QPlainTextEdit
{
public:
    Target(const QString &out, bool terminal) : m_out(out), m_keys(out + QStringLiteral(".keys")), m_terminal(terminal)
    {
        m_keys.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
        connect(this, &QPlainTextEdit::textChanged, this, &Target::save);
    }

    void save()
    {
        QSaveFile file(m_out);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(toPlainText().toUtf8());
            file.commit();
        }
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        m_keys.write(QKeySequence(event->keyCombination()).toString().toUtf8() + '\n');
        const auto mods = event->modifiers() & ~Qt::KeypadModifier;
        if (m_terminal && event->key() == Qt::Key_V && mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
            paste();
            return;
        }
        if (m_terminal && event->key() == Qt::Key_V && mods == Qt::ControlModifier)
            return; // a terminal would insert a literal next character
        QPlainTextEdit::keyPressEvent(event);
    }

private:
    QString m_out;
    QFile m_keys;
    bool m_terminal;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    Target target(args.value(1), args.contains(QStringLiteral("--terminal")));
    target.setGeometry(0, 0, 800, 600);
    target.show();
    target.activateWindow();
    target.setFocus();

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, &target, [&] {
        char buffer[256];
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            app.quit();
            return;
        }
        pending.append(buffer, n);
        while (pending.contains('\n')) {
            const QByteArray command = pending.left(pending.indexOf('\n'));
            pending.remove(0, command.size() + 1);
            if (command == "own") {
                auto *data = new QMimeData;
                data->setData(QStringLiteral("text/plain"), QStringLiteral("pläin\n").toUtf8());
                data->setData(QStringLiteral("text/html"), QByteArrayLiteral("<p>h\xc3\xa4</p>"));
                data->setData(QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\0IEND", 16));
                QGuiApplication::clipboard()->setMimeData(data);
            } else if (command.startsWith("group ")) {
                xcb_connection_t *connection = app.nativeInterface<QNativeInterface::QX11Application>()->connection();
                xcb_xkb_latch_lock_state(connection, XCB_XKB_ID_USE_CORE_KBD, 0, 0, true,
                                         static_cast<uint8_t>(command.mid(6).toInt()), 0, false, 0);
                // A round trip: the lock is in force before the ack goes out.
                free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
            }
            QFile ack(args.value(1) + QStringLiteral(".ack"));
            if (ack.open(QIODevice::WriteOnly | QIODevice::Append))
                ack.write(command + '\n');
        }
    });
    target.save();
    return app.exec();
}
