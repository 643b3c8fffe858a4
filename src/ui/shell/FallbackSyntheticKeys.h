#pragma once

#include "SyntheticKeys.h"

#include <functional>
#include <memory>

namespace zl {

/**
 * Keys through the preferred path while it works (a desktop's portal once the user approved it),
 * else through the fallback (XTEST, which reaches X11 windows), so an unapproved or refused portal
 * never leaves the user with less than before.
 */
class FallbackSyntheticKeys final : public SyntheticKeys
{
public:
    FallbackSyntheticKeys(std::unique_ptr<SyntheticKeys> preferred, std::function<bool()> preferredWorks,
                          std::unique_ptr<SyntheticKeys> fallback)
        : m_preferred(std::move(preferred)), m_preferredWorks(std::move(preferredWorks)), m_fallback(std::move(fallback))
    {
    }

    bool modifiersHeld() override { return current().modifiersHeld(); }
    bool postPasteChord() override { return current().postPasteChord(); }
    bool postReturn() override { return current().postReturn(); }

private:
    SyntheticKeys &current() { return m_preferredWorks() ? *m_preferred : *m_fallback; }

    std::unique_ptr<SyntheticKeys> m_preferred;
    std::function<bool()> m_preferredWorks;
    std::unique_ptr<SyntheticKeys> m_fallback;
};

} // namespace zl
