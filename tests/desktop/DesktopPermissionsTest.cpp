#include "desktop/DesktopPermissions.h"

#include "desktop/DataFiles.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(DesktopPermissions, EachPageOpensTheDesktopsSoundSettingsOrTheHelpPage)
{
    const QUrl help = QUrl::fromLocalFile(DataFiles::helpPage());
    ASSERT_TRUE(help.path().endsWith(u"/help.html")) << "the build tree has no help page";
    const QString gnome = u"gnome-control-center"_s, kde = u"systemsettings"_s, pavucontrol = u"pavucontrol"_s;
    const QString microphone = Permissions::microphonePage();
    // The address; what is installed, and what of it fails to start; what is tried; what opens in the end.
    const QList<std::tuple<QString, QStringList, QStringList, QStringList, QUrl>> cases{
            {microphone, {pavucontrol, kde, gnome}, {}, {u"/bin/gnome-control-center sound"_s}, {}},
            {microphone, {pavucontrol, kde}, {}, {u"/bin/systemsettings kcm_pulseaudio"_s}, {}},
            {microphone,
             {gnome, pavucontrol},
             {gnome},
             {u"/bin/gnome-control-center sound"_s, u"/bin/pavucontrol"_s},
             {}},
            {microphone, {pavucontrol}, {pavucontrol}, {u"/bin/pavucontrol"_s}, help},
            {microphone, {}, {}, {}, help},
            {Permissions::accessibilityPage(), {pavucontrol}, {}, {}, help},
            {u"https://example.org/help"_s, {}, {}, {}, QUrl(u"https://example.org/help"_s)},
            {u"settings:privacy#Privacy_Camera"_s, {pavucontrol}, {}, {}, {}},
    };
    for (const auto& [address, installed, broken, started, opened] : cases) {
        // On PATH are `installed`, of which `broken` fail to start; what would have been started or opened is kept.
        QStringList tried;
        QList<QUrl> shown;
        const Launcher launcher{
                .findProgram = [&](const QString& name) { return installed.contains(name) ? u"/bin/" + name : u""_s; },
                .startDetached =
                        [&](const QString& program, const QStringList& arguments) {
                            tried << (QStringList{program} + arguments).join(u' ');
                            return !broken.contains(QFileInfo(program).fileName());
                        },
                .openUrl = [&](const QUrl& url) { return shown << url, true; }};
        DesktopPermissions(nullptr, launcher).open(address);
        EXPECT_EQ(tried, started) << address.toStdString();
        EXPECT_EQ(shown, opened.isEmpty() ? QList<QUrl>{} : QList{opened}) << address.toStdString();
    }
}

} // namespace
} // namespace sayloom
