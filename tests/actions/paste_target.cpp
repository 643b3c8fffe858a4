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

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace {

class Target final : public QPlainTextEdit
{
public:
    Target(const QString &out, bool terminal) : m_out(out), m_keys(out + QStringLiteral(".keys")), m_terminal(terminal)
    {
        m_keys.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
        connect(this, &QPlainTextEdit::textChanged, this, [this] {
            QSaveFile file(m_out);
            if (file.open(QIODevice::WriteOnly) && file.write(toPlainText().toUtf8()) >= 0)
                file.commit();
        });
    }

protected:
    // A terminal pastes on Control+Shift+V; its Control+V would insert a literal next character.
    void keyPressEvent(QKeyEvent *event) override
    {
        m_keys.write(QKeySequence(event->keyCombination()).toString().toUtf8() + '\n');
        const auto mods = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
        if (!m_terminal || event->key() != Qt::Key_V || mods != Qt::ControlModifier)
            QPlainTextEdit::keyPressEvent(event);
        else if (event->modifiers() & Qt::ShiftModifier)
            paste();
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
    target.show();
    target.activateWindow();

    // The test sends a line and waits for its echo on standard output; the end of input quits.
    QFile input;
    input.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered);
    QSocketNotifier notifier(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &target, [&] {
        const QByteArray command = input.readLine().trimmed();
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
        } else {
            app.quit();
            return;
        }
        std::printf("%s\n", command.constData());
        std::fflush(stdout);
    });
    return app.exec();
}
