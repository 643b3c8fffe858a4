#include "HotkeyRecorder.h"

#include "HotkeyDisplay.h"
#include "Strings.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace zl {

namespace {

constexpr quint32 kEscapeKeyCode = 53;

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

QString rgba(QColor color, qreal alpha)
{
    color.setAlphaF(alpha);
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alphaF(), 0, 'f', 2);
}

// On X11 the event's own state is what the server will match a grab against; Qt's modifiers come
// from its tracked keyboard state, which can lag behind quick key sequences.
Qt::KeyboardModifiers recordedModifiers(const QKeyEvent &event)
{
    if (QGuiApplication::platformName() != QLatin1StringView("xcb"))
        return event.modifiers();
    const quint32 state = event.nativeModifiers();
    Qt::KeyboardModifiers modifiers;
    modifiers.setFlag(Qt::ShiftModifier, state & 0x01);
    modifiers.setFlag(Qt::ControlModifier, state & 0x04);
    modifiers.setFlag(Qt::AltModifier, state & 0x08);
    modifiers.setFlag(Qt::MetaModifier, state & 0x40);
    return modifiers;
}

} // namespace

HotkeyRecorder::HotkeyRecorder(const KeyboardLayout *layout, QWidget *parent)
    : QWidget(parent), m_layout(layout), m_box(new QLabel(this)), m_recordButton(new QPushButton(this)),
      m_resetButton(new QPushButton(this))
{
    setObjectName(QStringLiteral("hotkeyRecorder"));
    // Clicking the box starts nothing, but it lets the recorder hold the focus its keys need.
    setFocusPolicy(Qt::ClickFocus);
    m_box->setObjectName(QStringLiteral("combinationBox"));
    m_box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_recordButton->setObjectName(QStringLiteral("recordButton"));
    m_resetButton->setObjectName(QStringLiteral("resetButton"));

    auto *layoutBox = new QHBoxLayout(this);
    layoutBox->setContentsMargins(0, 0, 0, 0);
    layoutBox->setSpacing(12);
    layoutBox->addWidget(m_box, 1);
    layoutBox->addWidget(m_recordButton);
    layoutBox->addWidget(m_resetButton);

    connect(m_recordButton, &QPushButton::clicked, this, [this] { setRecording(!m_recording); });
    connect(m_resetButton, &QPushButton::clicked, this, &HotkeyRecorder::reset);
    retranslate();
}

HotkeyRecorder::~HotkeyRecorder()
{
    if (QWidget::keyboardGrabber() == this)
        releaseKeyboard();
}

void HotkeyRecorder::setCombination(quint32 keyCode, quint32 modifiers)
{
    m_keyCode = keyCode;
    m_modifiers = modifiers;
    retranslate();
}

void HotkeyRecorder::setRecording(bool recording)
{
    if (recording == m_recording)
        return;
    m_recording = recording;
    if (recording) {
        setFocus(Qt::OtherFocusReason);
        grabKeyboard();
    } else if (QWidget::keyboardGrabber() == this) {
        releaseKeyboard();
    }
    retranslate();
}

bool HotkeyRecorder::event(QEvent *event)
{
    if (m_recording) {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Claims the key so no menu shortcut or focus chain acts on it while recording.
            event->accept();
            return true;
        case QEvent::KeyPress:
            handleRecordingKey(*static_cast<QKeyEvent *>(event));
            return true;
        case QEvent::KeyRelease:
            return true;
        default:
            break;
        }
    }
    return QWidget::event(event);
}

void HotkeyRecorder::handleRecordingKey(const QKeyEvent &event)
{
    const std::optional<KeyCombination> combination =
        HotkeyDisplay::fromKeyEvent(event.nativeScanCode(), recordedModifiers(event));
    // Escape ends recording for good: a recorder that kept its accent look after Escape would
    // look as if it were still waiting for keys.
    if (event.key() == Qt::Key_Escape || (combination && combination->keyCode == kEscapeKeyCode)) {
        setRecording(false);
        return;
    }
    if (isModifierKey(event.key()) || !combination || combination->modifiers == 0)
        return;
    emit keyCodeEdited(combination->keyCode);
    emit modifiersEdited(combination->modifiers);
    setRecording(false);
}

void HotkeyRecorder::reset()
{
    emit keyCodeEdited(0);
    emit modifiersEdited(0);
    setRecording(false);
}

void HotkeyRecorder::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    // Focus moving to the record or reset button is part of using the recorder.
    const QWidget *next = QApplication::focusWidget();
    if (m_recording && event->reason() != Qt::PopupFocusReason && !(next && isAncestorOf(next)))
        setRecording(false);
}

void HotkeyRecorder::hideEvent(QHideEvent *event)
{
    setRecording(false);
    QWidget::hideEvent(event);
}

void HotkeyRecorder::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    else if (event->type() == QEvent::PaletteChange)
        refreshLook();
    QWidget::changeEvent(event);
}

void HotkeyRecorder::retranslate()
{
    m_box->setText(HotkeyDisplay::string(m_keyCode, m_modifiers, m_layout));
    m_recordButton->setText(text(m_recording ? "ui.recording" : "ui.record"));
    m_resetButton->setText(text("ui.reset"));
    m_resetButton->setVisible(m_keyCode != 0 || m_modifiers != 0);
    refreshLook();
}

void HotkeyRecorder::refreshLook()
{
    const QPalette &pal = palette();
    const QColor accent = pal.color(QPalette::Highlight);
    const QString background = m_recording ? rgba(accent, 0.15) : rgba(pal.color(QPalette::Base), 1.0);
    const QString border = m_recording ? rgba(accent, 1.0) : rgba(pal.color(QPalette::PlaceholderText), 0.25);
    m_box->setStyleSheet(QStringLiteral("QLabel#combinationBox { background: %1; border: 1px solid %2;"
                                        " border-radius: 8px; padding: 8px 10px; }")
                             .arg(background, border));
}

} // namespace zl
