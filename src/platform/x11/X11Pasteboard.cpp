#include "X11Pasteboard.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QSet>

namespace zl {

std::optional<PasteboardSnapshot> X11Pasteboard::snapshot()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    const QMimeData *data = clipboard ? clipboard->mimeData(QClipboard::Clipboard) : nullptr;
    if (!data)
        return std::nullopt;
    const QStringList types = data->formats();
    if (types.isEmpty())
        return std::nullopt;

    // Everything is copied now: the owner may exit before the restore.
    PasteboardSnapshot result;
    QElapsedTimer budget;
    budget.start();
    for (const QString &type : types) {
        if (isBookkeeping(type))
            continue;
        if (budget.elapsed() > kSnapshotBudgetMs)
            break;
        const QByteArray bytes = data->data(type);
        if (!bytes.isEmpty() && bytes.size() <= kMaxFormatBytes)
            result.append(PasteboardFormat{type, bytes});
    }
    return result;
}

void X11Pasteboard::clear()
{
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->clear(QClipboard::Clipboard);
}

void X11Pasteboard::setSecretText(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    auto *data = new QMimeData;
    data->setText(text);
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    clipboard->setMimeData(data, QClipboard::Clipboard);
}

void X11Pasteboard::write(const PasteboardSnapshot &formats)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    auto *data = new QMimeData;
    for (const PasteboardFormat &format : formats)
        data->setData(format.type, format.data);
    clipboard->setMimeData(data, QClipboard::Clipboard);
}

bool X11Pasteboard::isBookkeeping(const QString &type)
{
    static const QSet<QString> bookkeeping{
        QStringLiteral("TARGETS"),          QStringLiteral("TIMESTAMP"),        QStringLiteral("MULTIPLE"),
        QStringLiteral("SAVE_TARGETS"),     QStringLiteral("DELETE"),           QStringLiteral("INSERT_SELECTION"),
        QStringLiteral("INSERT_PROPERTY"),  QStringLiteral("ATOM_PAIR"),        QStringLiteral("INCR"),
        QStringLiteral("CLIPBOARD_MANAGER"), QStringLiteral("application/x-qt-image"),
    };
    return bookkeeping.contains(type);
}

} // namespace zl
