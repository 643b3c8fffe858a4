#pragma once

#include <QString>

#include <functional>

namespace zl {

class ApplicationChooser;
class KeyboardLayout;
class PermissionsManager;
class SettingsStore;
struct ShortcutItem;

/** What the windows need from the rest of the program; every member outlives the widgets. */
struct UiContext
{
    SettingsStore &store;
    PermissionsManager &permissions;
    ApplicationChooser &chooser;
    /** Carries out a shortcut's action at once (the executor in the program, a recorder in tests). */
    std::function<void(const ShortcutItem &)> run;
    /** May be null: key names then fall back to their fixed names and codes. */
    const KeyboardLayout *layout = nullptr;
    /** Why a shortcut's hotkey does not work, for the user; empty when it does. May be unset. */
    std::function<QString(const ShortcutItem &)> hotkeyProblem = {};
    /** How hotkeys and pasting work in this session, in the user's words. May be unset. */
    std::function<QString()> hotkeyPath = {};
    std::function<QString()> pastePath = {};
};

} // namespace zl
