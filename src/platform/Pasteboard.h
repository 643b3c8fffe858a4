#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace zl {

/** One clipboard format and its bytes, exactly as the owner offered them. */
struct PasteboardFormat
{
    QString type;
    QByteArray data;
    // How the owner labelled the bytes (X11: the property type) when that differs from type; empty: type.
    QByteArray dataType = {};
    // Size of one data unit in bits (8, 16 or 32), so that the bytes go back out with the same layout.
    int unitBits = 8;

    friend bool operator==(const PasteboardFormat &, const PasteboardFormat &) = default;
};

/** Every real format of the clipboard at one moment, in the owner's order; empty when no format had data. */
using PasteboardSnapshot = QList<PasteboardFormat>;

/** The system clipboard (X11: the CLIPBOARD selection). Main thread only. */
class Pasteboard
{
public:
    virtual ~Pasteboard() = default;

    /**
     * Copies all formats at once, bounded in time and size per format and in total; the event loop
     * stalls at most for that bound. Nothing when the clipboard has no owner at all; a format the
     * owner refuses is left out, an empty one kept.
     */
    virtual std::optional<PasteboardSnapshot> snapshot() = 0;

    /** Empties the clipboard; failures are ignored. */
    virtual void clear() = 0;

    /** Offers text as plain text, marked secret so clipboard managers keep it out of their history. */
    virtual void setSecretText(const QString &text) = 0;

    /** Offers exactly these formats (this process serves them from now on); failures are ignored. */
    virtual void write(const PasteboardSnapshot &formats) = 0;

    /** Whether another client has put something on the clipboard since this process last offered content. */
    virtual bool takenByOther() = 0;

    /** How often a reader has asked for the content (not just the format list) of the text offered last. */
    virtual int textReads() = 0;
};

} // namespace zl
