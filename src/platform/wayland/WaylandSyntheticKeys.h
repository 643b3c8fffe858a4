#pragma once

#include "SyntheticKeys.h"

#include <QString>

#include <functional>
#include <memory>

struct zwp_virtual_keyboard_v1;

namespace zl {

class WaylandConnection;

/**
 * Key presses through a virtual keyboard (zwp_virtual_keyboard_v1) of our own, with a keymap of
 * our own, on a Wayland connection of its own. The compositor keeps a modifier state per keyboard
 * and gives the focused window the state of the keyboard that sent the key, so the target sees
 * exactly the chord's modifiers even while the user still holds the hotkey's keys on the real
 * keyboard. Nothing is posted where the compositor offers no virtual keyboard; the portal path
 * (RemoteDesktop) is another implementation of the seam.
 */
class WaylandSyntheticKeys final : public SyntheticKeys
{
public:
    /**
     * focusedAppId names the focused window (the Wayland app_id, or an X11 window's class), so
     * terminals get Control+Shift+V; without it, or when it says nothing, Control+V.
     */
    explicit WaylandSyntheticKeys(std::function<QString()> focusedAppId = {});
    ~WaylandSyntheticKeys() override;
    WaylandSyntheticKeys(const WaylandSyntheticKeys &) = delete;
    WaylandSyntheticKeys &operator=(const WaylandSyntheticKeys &) = delete;

    /** Always false: the virtual keyboard's modifiers are its own (see the class comment). */
    bool modifiersHeld() override;
    bool postPasteChord() override;
    bool postReturn() override;

    /** Whether a virtual keyboard is set up (made on first use, again after the compositor restarts). */
    bool available();

private:
    struct Keymap;

    void key(quint32 evdevCode, bool down);
    void modifiers(quint32 depressed);

    std::function<QString()> m_focusedAppId;
    std::unique_ptr<WaylandConnection> m_connection;
    std::unique_ptr<Keymap> m_keymap;
    zwp_virtual_keyboard_v1 *m_keyboard = nullptr;
};

} // namespace zl
