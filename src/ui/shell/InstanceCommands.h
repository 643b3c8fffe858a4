#pragma once

#include "ShortcutItem.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace zl {

class KeyboardLayout;
class SettingsStore;

/**
 * What a later invocation of the program (`--run`, `--list`, `--import`, `--export`) asks of the
 * running one, and the wire form of those requests: one line "verb percent-encoded-argument",
 * answered by the exit code on a line of its own and the text to print.
 */
class InstanceCommands final
{
public:
    struct Reply
    {
        int exitCode = 0;
        QString text;
    };

    InstanceCommands(SettingsStore &store, std::function<void(const ShortcutItem &)> run,
                     const KeyboardLayout *layout);

    /** Carries out one request; a run happens on a later event-loop turn, after the answer. */
    QByteArray answer(const QByteArray &request);

    /** Runs the shortcut with this id or name: only an enabled one, and a name only when it is unique. */
    static Reply run(const QList<ShortcutItem> &items, const QString &nameOrId,
                     const std::function<void(const ShortcutItem &)> &runner);
    /** One line a shortcut: id, name, hotkey text, action, on or off; tab-separated, escaped to stay one line. */
    static QString listing(const QList<ShortcutItem> &items, const KeyboardLayout *layout);
    static Reply importFile(SettingsStore &store, const QString &path);
    static Reply exportFile(const QList<ShortcutItem> &items, const QString &path);

    static QByteArray encodeRequest(const QString &verb, const QString &argument);
    static QByteArray encodeReply(const Reply &reply);
    static Reply decodeReply(const QByteArray &bytes);

private:
    SettingsStore &m_store;
    std::function<void(const ShortcutItem &)> m_run;
    const KeyboardLayout *m_layout;
};

} // namespace zl
