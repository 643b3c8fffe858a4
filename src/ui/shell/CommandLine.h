#pragma once

#include <optional>

namespace zl {

/**
 * The program's command-line requests (--run, --list, --import, --export, --help). None opens a
 * window; each goes to the running instance when there is one, so its hotkeys and windows follow.
 */
class CommandLine final
{
public:
    CommandLine() = delete;

    /** The exit code when the arguments are such a request; nothing when the program should start as usual. */
    static std::optional<int> handle(int argc, char **argv);
};

} // namespace zl
