#include "InstanceCommands.h"

#include "HotkeyDisplay.h"
#include "LogText.h"
#include "SettingsStore.h"
#include "ShortcutTransfer.h"
#include "Strings.h"

#include <QTimer>
#include <QUrl>

namespace zl {

InstanceCommands::InstanceCommands(SettingsStore &store, std::function<void(const ShortcutItem &)> run,
                                   const KeyboardLayout *layout)
    : m_store(store), m_run(std::move(run)), m_layout(layout)
{
}

QByteArray InstanceCommands::answer(const QByteArray &request)
{
    const QByteArray line = request.trimmed();
    const qsizetype space = line.indexOf(' ');
    const QByteArray verb = space < 0 ? line : line.left(space);
    const QString argument = space < 0 ? QString() : QUrl::fromPercentEncoding(line.mid(space + 1));
    if (verb == "run") {
        // The caller gets its answer before the action starts, as a hotkey's press does.
        return encodeReply(run(m_store.shortcuts(), argument, [this](const ShortcutItem &item) {
            QTimer::singleShot(0, [run = m_run, item] { run(item); });
        }));
    }
    if (verb == "list")
        return encodeReply({0, listing(m_store.shortcuts(), m_layout)});
    if (verb == "import")
        return encodeReply(importFile(m_store, argument));
    if (verb == "export")
        return encodeReply(exportFile(m_store.shortcuts(), argument));
    return encodeReply({2, text("cli.usage")});
}

InstanceCommands::Reply InstanceCommands::run(const QList<ShortcutItem> &items, const QString &nameOrId,
                                              const std::function<void(const ShortcutItem &)> &runner)
{
    const QUuid id = QUuid::fromString(nameOrId.trimmed());
    QList<ShortcutItem> matches;
    for (const ShortcutItem &item : items) {
        if ((!id.isNull() && item.id == id) || item.name == nameOrId)
            matches << item;
    }
    const QString shown = logSafe(nameOrId);
    if (matches.isEmpty())
        return {1, text("cli.noMatch").arg(shown)};
    if (matches.size() > 1)
        return {1, text("cli.ambiguous").arg(shown)};
    if (!matches.first().isEnabled)
        return {1, text("cli.disabled").arg(logSafe(matches.first().name))};
    runner(matches.first());
    return {0, {}};
}

QString InstanceCommands::listing(const QList<ShortcutItem> &items, const KeyboardLayout *layout)
{
    QString out;
    for (const ShortcutItem &item : items) {
        const QStringList columns{item.id.toString(QUuid::WithoutBraces), logSafe(item.name),
                                  HotkeyDisplay::string(item.keyCode, item.modifiers, layout),
                                  item.actionType.title(), text(item.isEnabled ? "cli.on" : "cli.off")};
        out += columns.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return out;
}

InstanceCommands::Reply InstanceCommands::importFile(SettingsStore &store, const QString &path)
{
    const ShortcutTransfer::Import result = ShortcutTransfer::appendTo(store, path);
    if (!result.error.isEmpty())
        return {1, text("transfer.importFailed").arg(path, result.error) + QLatin1Char('\n')};
    QString report = text("transfer.imported").arg(result.items.size()) + QLatin1Char('\n');
    for (const QString &skipped : result.skipped)
        report += logSafe(skipped) + QLatin1Char('\n');
    return {result.skipped.isEmpty() ? 0 : 1, report};
}

InstanceCommands::Reply InstanceCommands::exportFile(const QList<ShortcutItem> &items, const QString &path)
{
    if (const std::optional<QString> error = ShortcutTransfer::exportTo(path, items))
        return {1, text("transfer.exportFailed").arg(path, *error) + QLatin1Char('\n')};
    return {0, text("cli.exported").arg(items.size()) + QLatin1Char('\n')};
}

QByteArray InstanceCommands::encodeRequest(const QString &verb, const QString &argument)
{
    return verb.toUtf8() + ' ' + QUrl::toPercentEncoding(argument) + '\n';
}

QByteArray InstanceCommands::encodeReply(const Reply &reply)
{
    return QByteArray::number(reply.exitCode) + '\n' + reply.text.toUtf8();
}

InstanceCommands::Reply InstanceCommands::decodeReply(const QByteArray &bytes)
{
    const qsizetype newline = bytes.indexOf('\n');
    bool ok = false;
    const int code = bytes.left(newline).toInt(&ok);
    if (newline < 0 || !ok)
        return {1, text("cli.noAnswer")};
    return {code, QString::fromUtf8(bytes.mid(newline + 1))};
}

} // namespace zl
