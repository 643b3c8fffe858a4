#include "WaylandPasteboard.h"

#include "WaylandConnection.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

#include <wayland-client.h>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>

namespace zl {

namespace {

const QString kPasswordHint = QStringLiteral("x-kde-passwordManagerHint");

// A reader that closed its end early must not kill the program with SIGPIPE; the signal is held
// back for this thread alone and dropped unless it was already pending.
ssize_t writeWithoutSigpipe(int fd, const char *data, size_t size)
{
    sigset_t pipeSignal;
    sigset_t before;
    sigset_t pending;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigpending(&pending);
    const bool wasPending = sigismember(&pending, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
    const ssize_t written = ::write(fd, data, size);
    const int error = errno;
    if (written < 0 && error == EPIPE && !wasPending) {
        const timespec now{};
        sigtimedwait(&pipeSignal, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = error;
    return written;
}

// Serves one reader from the event loop, as fast as it takes the bytes.
class PipeWriter final : public QObject
{
public:
    PipeWriter(int fd, QByteArray data, QObject *parent)
        : QObject(parent), m_fd(fd), m_data(std::move(data)), m_notifier(fd, QSocketNotifier::Write)
    {
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        m_stall.setSingleShot(true);
        m_stall.setInterval(WaylandPasteboard::kTransferTimeoutMs);
        connect(&m_stall, &QTimer::timeout, this, &PipeWriter::finish);
        connect(&m_notifier, &QSocketNotifier::activated, this, &PipeWriter::writeSome);
        m_stall.start();
        writeSome();
    }

    ~PipeWriter() override { ::close(m_fd); }

private:
    void writeSome()
    {
        while (m_done < m_data.size()) {
            const ssize_t n = writeWithoutSigpipe(m_fd, m_data.constData() + m_done, size_t(m_data.size() - m_done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN)
                return;
            if (n <= 0)
                break;
            m_done += n;
            m_stall.start();
        }
        finish();
    }

    void finish()
    {
        m_notifier.setEnabled(false);
        m_stall.stop();
        deleteLater();
    }

    int m_fd;
    QByteArray m_data;
    qsizetype m_done = 0;
    QSocketNotifier m_notifier;
    QTimer m_stall;
};

enum class ReadResult { Complete, TooLarge, Stalled };

// Reads one format until the owner closes the pipe, within the bounds.
ReadResult readPipe(int fd, QDeadlineTimer budget, QByteArray &data)
{
    char buffer[65536];
    for (;;) {
        const int wait = int(std::min<qint64>(std::max<qint64>(budget.remainingTime(), 0),
                                              WaylandPasteboard::kStallTimeoutMs));
        pollfd descriptor{fd, POLLIN, 0};
        const int ready = ::poll(&descriptor, 1, wait);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return ReadResult::Stalled;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return ReadResult::Complete;
        if (data.size() + n > WaylandPasteboard::kMaxFormatBytes)
            return ReadResult::TooLarge;
        data.append(buffer, n);
    }
}

// Our own windows' clipboard is served by this very thread, so asking through a pipe would only time out.
PasteboardSnapshot qtSnapshot(const QMimeData *data)
{
    PasteboardSnapshot result;
    for (const QString &type : data->formats())
        result.append(PasteboardFormat{type, data->data(type)});
    return result;
}

} // namespace

class WaylandPasteboard::Device
{
public:
    Device()
    {
        if (!m_connection.ok())
            return;
        m_seat = static_cast<wl_seat *>(m_connection.bind(&wl_seat_interface, 1));
        // Version 1: the primary selection is no concern of ours.
        m_manager = static_cast<zwlr_data_control_manager_v1 *>(
            m_connection.bind(&zwlr_data_control_manager_v1_interface, 1));
        if (!m_seat || !m_manager)
            return;
        static const zwlr_data_control_device_v1_listener listener{dataOffer, selection, finished, nullptr};
        m_device = zwlr_data_control_manager_v1_get_data_device(m_manager, m_seat);
        zwlr_data_control_device_v1_add_listener(m_device, &listener, this);
        // The first selection event comes at once.
        m_connection.roundtrip(kStallTimeoutMs);
    }

    ~Device()
    {
        m_source.reset();
        for (const auto &[offer, types] : m_offers)
            zwlr_data_control_offer_v1_destroy(offer);
        if (m_device)
            zwlr_data_control_device_v1_destroy(m_device);
        if (m_manager)
            zwlr_data_control_manager_v1_destroy(m_manager);
        if (m_seat)
            wl_seat_destroy(m_seat);
        if (m_connection.ok())
            wl_display_flush(m_connection.display());
    }

    bool ok() const { return m_device && m_connection.ok(); }

    std::optional<PasteboardSnapshot> snapshot();
    void offer(const PasteboardSnapshot &formats, bool text);
    void clear();

    bool takenByOther()
    {
        m_connection.roundtrip(kStallTimeoutMs);
        return m_selection && !m_source;
    }

    int textReads()
    {
        m_connection.pump();
        return m_textReads;
    }

private:
    // What this process offers now, until another client's selection replaces it.
    struct Source
    {
        zwlr_data_control_source_v1 *proxy = nullptr;
        PasteboardSnapshot formats;
        bool text = false;

        ~Source() { zwlr_data_control_source_v1_destroy(proxy); }
    };

    void setSelection(zwlr_data_control_source_v1 *source)
    {
        zwlr_data_control_device_v1_set_selection(m_device, source);
        wl_display_flush(m_connection.display());
    }

    static void dataOffer(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer);
    static void selection(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer);
    static void finished(void *data, zwlr_data_control_device_v1 *);
    static void offerType(void *data, zwlr_data_control_offer_v1 *offer, const char *type);
    static void send(void *data, zwlr_data_control_source_v1 *source, const char *type, int fd);
    static void cancelled(void *data, zwlr_data_control_source_v1 *source);

    WaylandConnection m_connection;
    wl_seat *m_seat = nullptr;
    zwlr_data_control_manager_v1 *m_manager = nullptr;
    zwlr_data_control_device_v1 *m_device = nullptr;
    // Offers announced and not yet replaced, with their types in the owner's order.
    std::map<zwlr_data_control_offer_v1 *, QStringList> m_offers;
    zwlr_data_control_offer_v1 *m_selection = nullptr;
    std::unique_ptr<Source> m_source;
    int m_textReads = 0;
    QObject m_writers;
};

void WaylandPasteboard::Device::dataOffer(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer)
{
    static const zwlr_data_control_offer_v1_listener listener{offerType};
    static_cast<Device *>(data)->m_offers[offer];
    zwlr_data_control_offer_v1_add_listener(offer, &listener, data);
}

void WaylandPasteboard::Device::offerType(void *data, zwlr_data_control_offer_v1 *offer, const char *type)
{
    static_cast<Device *>(data)->m_offers[offer].append(QString::fromUtf8(type));
}

void WaylandPasteboard::Device::selection(void *data, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer)
{
    auto *self = static_cast<Device *>(data);
    if (self->m_selection && self->m_selection != offer) {
        self->m_offers.erase(self->m_selection);
        zwlr_data_control_offer_v1_destroy(self->m_selection);
    }
    self->m_selection = offer;
}

void WaylandPasteboard::Device::finished(void *data, zwlr_data_control_device_v1 *)
{
    auto *self = static_cast<Device *>(data);
    zwlr_data_control_device_v1_destroy(self->m_device);
    self->m_device = nullptr;
}

void WaylandPasteboard::Device::send(void *data, zwlr_data_control_source_v1 *source, const char *type, int fd)
{
    auto *self = static_cast<Device *>(data);
    const Source *current = self->m_source.get();
    if (!current || current->proxy != source) {
        ::close(fd);
        return;
    }
    const QString name = QString::fromUtf8(type);
    const auto format = std::find_if(current->formats.begin(), current->formats.end(),
                                     [&name](const PasteboardFormat &f) { return f.type == name; });
    if (format == current->formats.end()) {
        ::close(fd);
        return;
    }
    if (current->text && name != kPasswordHint)
        ++self->m_textReads;
    new PipeWriter(fd, format->data, &self->m_writers);
}

void WaylandPasteboard::Device::cancelled(void *data, zwlr_data_control_source_v1 *source)
{
    auto *self = static_cast<Device *>(data);
    if (self->m_source && self->m_source->proxy == source)
        self->m_source.reset();
}

std::optional<PasteboardSnapshot> WaylandPasteboard::Device::snapshot()
{
    m_connection.roundtrip(kStallTimeoutMs);
    if (m_source)
        return m_source->formats;
    // qGuiApp is a plain cast: it is not null in a program without a GUI either.
    const auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (QClipboard *clipboard = gui ? QGuiApplication::clipboard() : nullptr; clipboard && clipboard->ownsClipboard()) {
        if (const QMimeData *data = clipboard->mimeData())
            return qtSnapshot(data);
    }
    if (!m_selection)
        return std::nullopt;

    // No events are dispatched meanwhile, so the offer stays what it was.
    const QDeadlineTimer budget(kSnapshotBudgetMs);
    PasteboardSnapshot result;
    QSet<QString> seen;
    qsizetype total = 0;
    for (const QString &type : std::as_const(m_offers[m_selection])) {
        if (seen.contains(type) || budget.hasExpired())
            continue;
        seen.insert(type);
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
            break;
        zwlr_data_control_offer_v1_receive(m_selection, type.toUtf8().constData(), fds[1]);
        wl_display_flush(m_connection.display());
        ::close(fds[1]);
        QByteArray bytes;
        const ReadResult read = readPipe(fds[0], budget, bytes);
        ::close(fds[0]);
        // An owner that missed a deadline would make every later format wait for it as well.
        if (read == ReadResult::Stalled)
            break;
        if (read == ReadResult::Complete && total + bytes.size() <= kMaxSnapshotBytes) {
            total += bytes.size();
            result.append(PasteboardFormat{type, bytes});
        }
    }
    return result;
}

void WaylandPasteboard::Device::offer(const PasteboardSnapshot &formats, bool text)
{
    static const zwlr_data_control_source_v1_listener listener{send, cancelled};
    auto next = std::make_unique<Source>();
    next->proxy = zwlr_data_control_manager_v1_create_data_source(m_manager);
    zwlr_data_control_source_v1_add_listener(next->proxy, &listener, this);
    QSet<QString> offered;
    for (const PasteboardFormat &format : formats) {
        if (!offered.contains(format.type)) {
            offered.insert(format.type);
            zwlr_data_control_source_v1_offer(next->proxy, format.type.toUtf8().constData());
        }
    }
    next->formats = formats;
    next->text = text;
    if (text)
        m_textReads = 0;
    // The old source goes only after the new one holds the selection, so the clipboard is never empty between.
    setSelection(next->proxy);
    m_source = std::move(next);
    wl_display_flush(m_connection.display());
}

void WaylandPasteboard::Device::clear()
{
    setSelection(nullptr);
    m_source.reset();
    wl_display_flush(m_connection.display());
}

WaylandPasteboard::WaylandPasteboard() = default;
WaylandPasteboard::~WaylandPasteboard() = default;

WaylandPasteboard::Device *WaylandPasteboard::device()
{
    if (!d || !d->ok())
        d = std::make_unique<Device>();
    return d->ok() ? d.get() : nullptr;
}

bool WaylandPasteboard::available()
{
    return device() != nullptr;
}

std::optional<PasteboardSnapshot> WaylandPasteboard::snapshot()
{
    Device *c = device();
    return c ? c->snapshot() : std::nullopt;
}

void WaylandPasteboard::clear()
{
    if (Device *c = device())
        c->clear();
}

void WaylandPasteboard::setSecretText(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    // The types Wayland toolkits and XWayland's bridge ask for.
    const PasteboardSnapshot formats{{QStringLiteral("text/plain;charset=utf-8"), utf8},
                                     {QStringLiteral("text/plain"), utf8},
                                     {QStringLiteral("UTF8_STRING"), utf8},
                                     {QStringLiteral("TEXT"), utf8},
                                     {QStringLiteral("STRING"), text.toLatin1()},
                                     {kPasswordHint, QByteArrayLiteral("secret")}};
    if (Device *c = device())
        c->offer(formats, true);
}

void WaylandPasteboard::write(const PasteboardSnapshot &formats)
{
    if (Device *c = device())
        c->offer(formats, false);
}

bool WaylandPasteboard::takenByOther()
{
    Device *c = device();
    return c && c->takenByOther();
}

int WaylandPasteboard::textReads()
{
    Device *c = device();
    return c ? c->textReads() : 0;
}

} // namespace zl
