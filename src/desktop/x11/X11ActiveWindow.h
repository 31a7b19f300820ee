#pragma once

#include "session/ports/ActiveApplication.h"

#include <cstdint>
#include <memory>

namespace sayloom {

class DesktopEntryNames;
class X11Connection;

// The window with the focus on $DISPLAY as an application: the window manager's _NET_ACTIVE_WINDOW (or the input
// focus when no manager runs), known by its process (_NET_WM_PID), its id (_GTK_APPLICATION_ID, else the WM_CLASS
// class) and the name of its desktop entry. Activation asks the window manager, as a pager does, and waits until the
// manager reports the window active.
class X11ActiveWindow final : public ActiveApplication {
public:
    // Without a reachable X server nothing has the focus and activation does nothing.
    X11ActiveWindow();
    X11ActiveWindow(const X11ActiveWindow&) = delete;
    X11ActiveWindow& operator=(const X11ActiveWindow&) = delete;
    ~X11ActiveWindow() override;

    std::optional<RunningApplication> frontmost() const override;
    std::optional<RunningApplication> current() const override;
    QCoro::Task<void> activate(RunningApplication application) override;

    // How long activation waits for the window manager to confirm.
    static constexpr std::chrono::milliseconds activationTimeout{250};

private:
    std::uint32_t activeWindow() const;
    std::uint32_t windowOfProcess(const QString& identity) const;
    RunningApplication describe(std::uint32_t window) const;

    std::unique_ptr<X11Connection> m_connection;
    std::unique_ptr<DesktopEntryNames> m_names;
};

} // namespace sayloom
