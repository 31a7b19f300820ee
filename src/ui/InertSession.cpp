#include "ui/InertSession.h"

#include "history/History.h"
#include "session/InputDevices.h"
#include "session/Recorder.h"
#include "session/ports/AccessibilityTrust.h"
#include "session/ports/ActiveApplication.h"
#include "session/ports/Clipboard.h"
#include "session/ports/FileActions.h"
#include "session/ports/HotkeyMonitor.h"
#include "session/ports/LoginItem.h"
#include "session/ports/Overlay.h"
#include "session/ports/Permissions.h"
#include "session/ports/Sounds.h"
#include "session/ports/TextInserter.h"
#include "speech/TranscriptionEngine.h"
#include "text/LanguageModel.h"

namespace sayloom {

namespace {

// As on a fresh install: no language model is set up.
class InertLanguageModel final : public LanguageModel {
public:
    LanguageModelAvailability availability() const override { return LanguageModelAvailability::notEnabled; }
    std::shared_ptr<LanguageModelSession> makeSession(const QString&) override { return nullptr; }
};

class InertDevices final : public InputDevices {
public:
    QList<AudioInputDevice> inputDevices() const override { return {}; }
    std::optional<AudioInputDevice> resolve(const MicrophonePreference&) const override { return std::nullopt; }
};

class InertLoginItem final : public LoginItem {
public:
    bool isEnabled() const override { return false; }
    std::optional<QString> setEnabled(bool) override
    {
        return QStringLiteral("Couldn't change login items: this session only draws the windows");
    }
};

class InertFiles final : public FileActions {
public:
    bool open(const QString&) const override { return false; }
    QCoro::Task<bool> reveal(const QString&) const override { co_return false; }
};

} // namespace

class InertSession::Desktop final : public Recorder,
                                    public TranscriptionEngine,
                                    public HotkeyMonitor,
                                    public Overlay,
                                    public TextInserter,
                                    public Permissions,
                                    public AccessibilityTrust,
                                    public ActiveApplication,
                                    public Clipboard,
                                    public Sounds {
public:
    std::variant<Recording, AudioRecorderError> start(const std::optional<AudioInputDevice>&) override
    {
        return AudioRecorderError::noMicrophone();
    }
    void stop() override {}
    void setOnLevel(std::function<void(float)>) override {}

    QString name() const override { return QStringLiteral("PocketSphinx"); }
    QCoro::Task<void> prepare() override { co_return; }
    QCoro::Task<QString> transcribe(AudioStream, AudioFormat, QStringList, PartialHandler, std::stop_token) override
    {
        co_return QString();
    }

    Trigger trigger() const override { return m_trigger; }
    void setTrigger(Trigger trigger) override { m_trigger = trigger; }
    void setOnChange(std::function<void(bool)>) override {}
    void setOnCancel(std::function<void()>) override {}
    bool isDown() const override { return false; }
    void markUp() override {}
    void start() override {}
    // HotkeyMonitor's stop; the recorder's has the same shape and does the same nothing.

    void show(const OverlayMode&) override {}
    void hide(std::chrono::milliseconds) override {}
    void push(float) override {}

    QCoro::Task<void> insert(QString, std::optional<RunningApplication>) override { co_return; }

    QCoro::Task<bool> requestMicrophone() override { co_return false; }
    void open(const QString&) override {}

    // Nothing here could type into another window.
    bool isTrusted() const override { return false; }
    bool isTrustedPrompting() override { return false; }

    std::optional<RunningApplication> frontmost() const override { return std::nullopt; }
    std::optional<RunningApplication> current() const override { return std::nullopt; }
    QCoro::Task<void> activate(RunningApplication) override { co_return; }

    void setText(const QString&) override {}
    void play(Cue, float) override {}

    InertDevices devices;
    InertLoginItem loginItem;
    InertFiles files;
    std::shared_ptr<InertLanguageModel> model = std::make_shared<InertLanguageModel>();

private:
    Trigger m_trigger = Trigger::rightOption;
};

InertSession::InertSession(const QList<HistoryEntry>& history)
    : m_desktop(std::make_unique<Desktop>())
{
    // Without a folder the stores below work in memory and their saves fail silently.
    const QString folder = m_folder.isValid() ? m_folder.path() : QStringLiteral("/nonexistent/sayloom");
    m_settings = std::make_unique<QSettingsStore>(folder + u"/settings.ini");
    m_preferences = std::make_unique<Preferences>(*m_settings);
    m_dictionary = std::make_unique<DictionaryStore>(folder + u"/Dictionary.txt", m_settings->settings());
    if (!history.isEmpty()) {
        History::save(history, folder + u"/History.json");
    }
    m_history = std::make_unique<HistoryStore>(folder + u"/History.json", m_settings->settings());
    Desktop& desktop = *m_desktop;
    m_state = std::make_unique<AppState>(
            SessionParts{.clock = m_clock,
                         .preferences = *m_preferences,
                         .dictionary = *m_dictionary,
                         .history = *m_history,
                         .recorder = desktop,
                         .inputDevices = desktop.devices,
                         .engine = desktop,
                         .languageModel = desktop.model,
                         .desktop = {desktop, desktop, desktop, desktop, desktop, desktop, desktop, desktop}});
}

InertSession::~InertSession() = default;

Permissions& InertSession::permissions()
{
    return *m_desktop;
}

WindowParts InertSession::windowParts()
{
    Desktop& desktop = *m_desktop;
    return WindowParts{.state = *m_state,
                       .clock = m_clock,
                       .permissions = desktop,
                       .inputDevices = desktop.devices,
                       .loginItem = desktop.loginItem,
                       .files = desktop.files};
}

} // namespace sayloom
