#pragma once

#include "session/ports/ActiveApplication.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>

#include <chrono>
#include <memory>

class QDBusMessage;

namespace sayloom {

class DesktopEntryNames;

// The application with the focus on GNOME, where no Wayland protocol tells an ordinary client, asked of the
// accessibility bus (AT-SPI), which GTK applications always join and Qt, Chromium and others when accessibility is on:
// the application with a top-level window in state ACTIVE. It is known by its process, its AT-SPI name as id
// (gnome-terminal says "gnome-terminal-server") and the name of its desktop entry. A focused object with the terminal
// role makes the id one the paste keys treat as a terminal, so a terminal the paste-key table lacks still gets
// Ctrl+Shift+V. When the focus is in an application that is not on the bus, no window there is active, so nothing is
// named and the paste goes to the focus as it is.
//
// The window that last said it became active is checked first (one call); only when it no longer is, the
// applications are walked. Every answer is bounded by `answerBudget` in all: a hung application costs a missed
// answer, never a stalled take.
class AtspiActiveApplication final : public QObject, public ActiveApplication {
    Q_OBJECT

public:
    // The accessibility bus is looked up on `sessionBus` in the background; until it is found, and without one,
    // nothing has the focus.
    explicit AtspiActiveApplication(QDBusConnection sessionBus = QDBusConnection::sessionBus());
    AtspiActiveApplication(const AtspiActiveApplication&) = delete;
    AtspiActiveApplication& operator=(const AtspiActiveApplication&) = delete;
    ~AtspiActiveApplication() override;

    // Whether the accessibility bus has been found and joined.
    bool isConnected() const { return m_bus.has_value(); }

    std::optional<RunningApplication> frontmost() const override;
    std::optional<RunningApplication> current() const override;
    // GNOME lets no client raise another's window, and the focus has normally stayed where the take began.
    QCoro::Task<void> activate(RunningApplication application) override;

    static constexpr std::chrono::milliseconds answerBudget{100};
    // The id reported for a terminal the paste-key table does not know by name.
    static constexpr const char* genericTerminalId = "x-terminal-emulator";

private Q_SLOTS:
    void onStateChanged(const QDBusMessage& message);

private:
    // An object on the accessibility bus: the application's unique bus name and the object's path.
    struct Object {
        QString bus;
        QString path;
        bool operator==(const Object&) const = default;
    };
    struct Application {
        qint64 pid = 0;
        QString name;
        std::optional<QString> displayName;
    };
    class Deadline;

    void lookUpBus() const;
    void joinBus(const QString& address);
    std::optional<Object> activeWindow(const Deadline& deadline) const;
    std::optional<Object> walkForActiveWindow(const Deadline& deadline) const;
    const Application* application(const QString& bus, const Deadline& deadline) const;
    bool focusIsTerminal(const QString& bus, const Deadline& deadline) const;

    QString m_connectionName;
    QDBusConnection m_sessionBus;
    mutable bool m_lookingUp = false;
    std::optional<QDBusConnection> m_bus;
    std::unique_ptr<DesktopEntryNames> m_names;
    // Learnt from the applications' events; only hints, each is checked before it is believed.
    mutable std::optional<Object> m_lastActive;
    std::optional<Object> m_lastFocus;
    mutable std::optional<std::pair<Object, bool>> m_focusRole;
    // Unique bus names are never reused while the bus runs, so what they name stays true.
    mutable QHash<QString, Application> m_applications;
};

} // namespace sayloom
