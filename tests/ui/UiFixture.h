#pragma once

#include "ApplicationChooser.h"
#include "FakeAccessibilityTrust.h"
#include "FakeJournal.h"
#include "FakeLoginItem.h"
#include "FakeScheduler.h"
#include "FakeWorkspace.h"
#include "PermissionsManager.h"
#include "SettingsStore.h"
#include "TestSupport.h"
#include "UiContext.h"

#include <QTemporaryDir>

#include <memory>

namespace zl {

using test::names;
using test::shortcut;

/** Answers the application chooser with a prepared path, or as cancelled. */
class FakeChooser final : public ApplicationChooser
{
public:
    std::optional<QString> chooseApplication(QWidget *) override
    {
        ++calls;
        return answer;
    }

    std::optional<QString> answer;
    int calls = 0;
};

/** A store on a file of its own, fakes behind every seam the windows use, and a record of runs. */
struct UiFixture
{
    explicit UiFixture(const QList<ShortcutItem> &items)
        : store(std::make_unique<SettingsStore>(loginItem, dir.filePath(QStringLiteral("zephyrlatch.conf"))))
    {
        store->setShortcuts(items);
    }

    /** What a fresh start of the program would read back. */
    QList<ShortcutItem> reloaded()
    {
        FakeLoginItem other;
        SettingsStore again(other, store->filePath());
        return again.shortcuts();
    }

    QTemporaryDir dir;
    FakeLoginItem loginItem;
    std::unique_ptr<SettingsStore> store;
    FakeAccessibilityTrust trust;
    FakeScheduler clock;
    FakeJournal journal{clock};
    FakeWorkspace workspace{journal};
    PermissionsManager permissions{trust, workspace};
    FakeChooser chooser;
    QList<ShortcutItem> runs;
    UiContext context{*store, permissions, chooser, [this](const ShortcutItem &item) { runs.append(item); }, nullptr};
};

} // namespace zl
