#pragma once

#include <QWidget>

class QKeyEvent;
class QLabel;
class QPushButton;

namespace zl {

class KeyboardLayout;

/**
 * Shows a key combination and records a new one by pressing it. While recording it holds an
 * active keyboard grab, so neither this program's own hotkey grabs nor another client's take
 * the combination first; every way out of recording gives the grab back.
 * It writes only through its two signals, one value each, key code always before mask.
 */
class HotkeyRecorder final : public QWidget
{
    Q_OBJECT

public:
    explicit HotkeyRecorder(const KeyboardLayout *layout, QWidget *parent = nullptr);
    ~HotkeyRecorder() override;

    /** What the box shows; writes nothing. */
    void setCombination(quint32 keyCode, quint32 modifiers);
    quint32 keyCode() const { return m_keyCode; }
    quint32 modifiers() const { return m_modifiers; }

    bool isRecording() const { return m_recording; }
    void setRecording(bool recording);

signals:
    void keyCodeEdited(quint32 keyCode);
    void modifiersEdited(quint32 modifiers);

protected:
    bool event(QEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void handleRecordingKey(const QKeyEvent &event);
    void reset();
    void retranslate();
    void refreshLook();

    // Declared before the child widgets: creating a child already sends this widget events.
    const KeyboardLayout *m_layout;
    quint32 m_keyCode = 0;
    quint32 m_modifiers = 0;
    bool m_recording = false;
    QLabel *m_box;
    QPushButton *m_recordButton;
    QPushButton *m_resetButton;
};

} // namespace zl
