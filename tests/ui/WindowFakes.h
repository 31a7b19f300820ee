#pragma once

#include "session/AppState.h"
#include "session/SessionRig.h"
#include "session/ports/FileActions.h"
#include "session/ports/LoginItem.h"
#include "ui/WindowParts.h"

#include <QStringList>

#include <optional>

namespace sayloom::testing {

// Launch at login that remembers its state, or refuses every change with `failure`.
class FakeLoginItem final : public LoginItem {
public:
    bool isEnabled() const override { return enabled; }
    std::optional<QString> setEnabled(bool on) override
    {
        if (failure) {
            return QStringLiteral("Couldn't change login items: ") + *failure;
        }
        enabled = on;
        return std::nullopt;
    }

    bool enabled = false;
    std::optional<QString> failure;
};

// Records the files the windows hand to the desktop.
class FakeFiles final : public FileActions {
public:
    bool open(const QString& path) const override { return opened.append(path), true; }
    QCoro::Task<bool> reveal(const QString& path) const override
    {
        revealed.append(path);
        co_return true;
    }

    mutable QStringList opened;
    mutable QStringList revealed;
};

// The windows' parts over a session rig that is already built.
struct WindowRig {
    explicit WindowRig(SessionRig& rig)
        : parts{.state = *rig.state,
                .clock = rig.clock,
                .permissions = rig.desktop,
                .inputDevices = rig.desktop,
                .loginItem = loginItem,
                .files = files}
    {
    }

    FakeLoginItem loginItem;
    FakeFiles files;
    WindowParts parts;
};

} // namespace sayloom::testing
