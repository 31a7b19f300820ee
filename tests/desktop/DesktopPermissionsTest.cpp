#include "desktop/DesktopPermissions.h"

#include "desktop/DataFiles.h"

#include <QCoroTask>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <stdexcept>

namespace sayloom {
namespace {

using namespace Qt::Literals::StringLiterals;

// A desktop where `installed` programs are on PATH and those in `broken` fail to start; it records what it started
// and opened instead of doing it.
struct RecordingDesktop {
    QStringList installed;
    QStringList broken;
    QStringList started;
    QList<QUrl> opened;

    Launcher launcher()
    {
        return {
                .findProgram =
                        [this](const QString& program) {
                            return installed.contains(program) ? u"/usr/bin/" + program : QString();
                        },
                .startDetached =
                        [this](const QString& program, const QStringList& arguments) {
                            if (broken.contains(QFileInfo(program).fileName())) {
                                return false;
                            }
                            started << (QStringList{program} + arguments).join(u' ');
                            return true;
                        },
                .openUrl =
                        [this](const QUrl& url) {
                            opened << url;
                            return true;
                        },
        };
    }
};

QUrl helpPage()
{
    return QUrl::fromLocalFile(DataFiles::helpPage());
}

TEST(DesktopPermissions, TheMicrophonePageStartsTheFirstSoundSettingsThatRuns)
{
    struct Case {
        QStringList installed;
        QStringList broken;
        QString started;
    };
    const QList<Case> cases{
            {{u"pavucontrol"_s, u"systemsettings"_s, u"gnome-control-center"_s},
             {},
             u"/usr/bin/gnome-control-center sound"_s},
            {{u"pavucontrol"_s, u"systemsettings"_s}, {}, u"/usr/bin/systemsettings kcm_pulseaudio"_s},
            {{u"pavucontrol"_s}, {}, u"/usr/bin/pavucontrol"_s},
            {{u"gnome-control-center"_s, u"pavucontrol"_s}, {u"gnome-control-center"_s}, u"/usr/bin/pavucontrol"_s},
    };
    for (const Case& test : cases) {
        RecordingDesktop desktop;
        desktop.installed = test.installed;
        desktop.broken = test.broken;
        DesktopPermissions(nullptr, desktop.launcher()).open(Permissions::microphonePage());
        EXPECT_EQ(desktop.started, QStringList{test.started});
        EXPECT_TRUE(desktop.opened.isEmpty());
    }
}

TEST(DesktopPermissions, WithoutSoundSettingsAndForAccessibilityTheHelpPageOpens)
{
    ASSERT_FALSE(DataFiles::helpPage().isEmpty()) << "the build tree has no help page";
    EXPECT_TRUE(DataFiles::helpPage().endsWith(u"/help.html"));
    for (const QString& page : {Permissions::microphonePage(), Permissions::accessibilityPage()}) {
        // The one sound settings installed does not start; the accessibility page never tries it.
        RecordingDesktop desktop;
        desktop.installed = QStringList{u"pavucontrol"_s};
        desktop.broken = desktop.installed;
        DesktopPermissions(nullptr, desktop.launcher()).open(page);
        EXPECT_TRUE(desktop.started.isEmpty());
        EXPECT_EQ(desktop.opened, QList<QUrl>{helpPage()});
    }
}

TEST(DesktopPermissions, OnlyWebAddressesOpenBesidesTheTwoPages)
{
    const QList<std::pair<QString, bool>> addresses{
            {u"https://example.org/help"_s, true},
            {u"settings:privacy#Privacy_Camera"_s, false},
            {u"x-apple.systempreferences:com.apple.preference.security?Privacy_Microphone"_s, false},
            {u"file:///usr/bin/xterm"_s, false},
            {u"https://"_s, false},
            {u""_s, false},
    };
    for (const auto& [address, opens] : addresses) {
        RecordingDesktop desktop;
        DesktopPermissions(nullptr, desktop.launcher()).open(address);
        EXPECT_EQ(desktop.opened.size(), opens ? 1 : 0) << address.toStdString();
        EXPECT_TRUE(desktop.started.isEmpty());
    }
}

TEST(DesktopPermissions, TheMicrophoneIsWhatTheCheckSaysAndNoCheckOrAFailingOneIsNoMicrophone)
{
    const auto answer = [](bool value) -> DesktopPermissions::MicrophoneCheck {
        return [value]() -> QCoro::Task<bool> { co_return value; };
    };
    const DesktopPermissions::MicrophoneCheck failing = []() -> QCoro::Task<bool> {
        throw std::runtime_error("no server");
        co_return true;
    };
    const QList<std::pair<DesktopPermissions::MicrophoneCheck, bool>> checks{
            {answer(true), true}, {answer(false), false}, {failing, false}, {nullptr, false}};
    for (const auto& [check, granted] : checks) {
        RecordingDesktop desktop;
        DesktopPermissions permissions(check, desktop.launcher());
        EXPECT_EQ(QCoro::waitFor(permissions.requestMicrophone()), granted);
    }
}

} // namespace
} // namespace sayloom
