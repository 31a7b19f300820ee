#pragma once

#include "session/ports/ActiveApplication.h"

#include <QByteArray>
#include <QJsonObject>

#include <chrono>
#include <cstdint>
#include <memory>

namespace sayloom {

class DesktopEntryNames;

// The focused window of sway as an application, through sway's IPC socket ($SWAYSOCK): known by its process, its
// app_id (or the X11 class of an XWayland window) and the name of its desktop entry. Activation asks sway to focus
// the window and waits until the tree says it has.
class SwayActiveWindow final : public ActiveApplication {
public:
    // `socket` is the IPC socket's path, by default $SWAYSOCK. Without one nothing has the focus.
    explicit SwayActiveWindow(QByteArray socket = {});
    SwayActiveWindow(const SwayActiveWindow&) = delete;
    SwayActiveWindow& operator=(const SwayActiveWindow&) = delete;
    ~SwayActiveWindow() override;

    bool isAvailable() const { return !m_socket.isEmpty(); }

    std::optional<RunningApplication> frontmost() const override;
    std::optional<RunningApplication> current() const override;
    QCoro::Task<void> activate(RunningApplication application) override;

    // How long a question to sway may take; the session asks for the front window synchronously.
    static constexpr std::chrono::milliseconds answerTimeout{100};
    // How long activation waits for sway to confirm.
    static constexpr std::chrono::milliseconds activationTimeout{250};

private:
    // Sends one message and reads its reply; nothing when sway does not answer in time.
    std::optional<QByteArray> ask(std::uint32_t type, const QByteArray& payload) const;
    // The focused window's node of the tree; empty when no window has the focus.
    QJsonObject focusedWindow() const;
    RunningApplication describe(const QJsonObject& node) const;

    QByteArray m_socket;
    std::unique_ptr<DesktopEntryNames> m_names;
};

} // namespace sayloom
