#include "desktop/DesktopPermissions.h"

#include "desktop/DataFiles.h"
#include "desktop/DesktopLog.h"

namespace sayloom {

const QList<DesktopPermissions::SoundSettings>& DesktopPermissions::soundSettings()
{
    static const QList<SoundSettings> programs{
            {QStringLiteral("gnome-control-center"), {QStringLiteral("sound")}},
            {QStringLiteral("systemsettings"), {QStringLiteral("kcm_pulseaudio")}},
            {QStringLiteral("pavucontrol"), {}},
    };
    return programs;
}

DesktopPermissions::DesktopPermissions(MicrophoneCheck microphoneCheck, Launcher launcher)
    : m_microphoneCheck(std::move(microphoneCheck))
    , m_launcher(std::move(launcher))
{
}

QCoro::Task<bool> DesktopPermissions::requestMicrophone()
{
    if (!m_microphoneCheck) {
        co_return false;
    }
    try {
        co_return co_await m_microphoneCheck();
    } catch (const std::exception& error) {
        qCWarning(lcDesktop, "Checking the microphone failed: %s", error.what());
    } catch (...) {
        qCWarning(lcDesktop, "Checking the microphone failed");
    }
    co_return false;
}

void DesktopPermissions::open(const QString& address)
{
    if (address == microphonePage()) {
        for (const SoundSettings& settings : soundSettings()) {
            const QString path = m_launcher.findProgram(settings.program);
            if (!path.isEmpty() && m_launcher.startDetached(path, settings.arguments)) {
                return;
            }
        }
        openHelpPage();
    } else if (address == accessibilityPage()) {
        openHelpPage();
    } else {
        // Only plain web addresses: a settings address of another platform, or a local program, is not ours to run.
        const QUrl url(address, QUrl::StrictMode);
        if (url.isValid() && (url.scheme() == u"https" || url.scheme() == u"http") && !url.host().isEmpty()) {
            m_launcher.openUrl(url);
        }
    }
}

void DesktopPermissions::openHelpPage()
{
    const QString page = DataFiles::helpPage();
    if (page.isEmpty()) {
        qCWarning(lcDesktop, "The help page is not installed");
        return;
    }
    if (!m_launcher.openUrl(QUrl::fromLocalFile(page))) {
        qCWarning(lcDesktop, "Nothing opened the help page %s", qUtf8Printable(page));
    }
}

} // namespace sayloom
