#include "CommandLine.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include <dlfcn.h>

namespace {

// Beside the program in the build tree, under the library folder once installed.
std::optional<std::string> guiModule()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return std::nullopt;
    for (const std::filesystem::path &candidate :
         {self.parent_path() / ZL_GUI_MODULE, self.parent_path() / ZL_GUI_MODULE_INSTALLED / ZL_GUI_MODULE}) {
        if (std::filesystem::exists(candidate, error))
            return candidate.string();
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char **argv)
{
    // Requests to the running instance (the trigger command among them): no window, no display,
    // and none of the GUI libraries loaded, so a desktop's key binding runs the shortcut quickly.
    if (const std::optional<int> exitCode = zl::CommandLine::handle(argc, argv))
        return *exitCode;

    const std::optional<std::string> module = guiModule();
    void *gui = module ? dlopen(module->c_str(), RTLD_NOW | RTLD_LOCAL) : nullptr;
    auto *start = gui ? reinterpret_cast<int (*)(int, char **)>(dlsym(gui, "zl_gui_main")) : nullptr;
    if (!start) {
        const char *why = gui || module ? dlerror() : "its window part " ZL_GUI_MODULE " is missing";
        std::fprintf(stderr, "Zephyrlatch cannot start: %s\n", why ? why : "unknown error");
        return 1;
    }
    return start(argc, argv);
}
