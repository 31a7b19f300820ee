#include "ui/design/AppearanceMonitor.h"
#include "ui/design/Card.h"
#include "ui/design/CorrectionChip.h"
#include "ui/design/FlowLayout.h"
#include "ui/design/KeyCap.h"
#include "ui/design/LevelWaveform.h"
#include "ui/design/PulseWaveform.h"
#include "ui/design/Symbols.h"
#include "ui/design/WarningLabel.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSignalSpy>
#include <QVBoxLayout>

#include <array>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace sayloom {
namespace {

// Paints into a transparent image twice the area's size at the given ratio and reports whether any pixel outside
// `area` was touched, and whether anything inside was.
struct Ink {
    bool outside = false;
    bool inside = false;
};

Ink inkOf(qreal ratio, const QRectF& area, const std::function<void(QPainter&)>& paint)
{
    QImage image(QSize(200, 80) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        paint(painter);
    }
    Ink ink;
    const QRect inDevice = QRectF(area.topLeft() * ratio, area.size() * ratio).toAlignedRect();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 0) {
                continue;
            }
            (inDevice.contains(x, y) ? ink.inside : ink.outside) = true;
        }
    }
    return ink;
}

TEST(DesignRender, WaveformsStayInsideTheirAreaAtEveryRatio)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::array<float, 6> wild{0.0f, 1.0f, 1.7f, -0.4f, nan, 0.5f};
    const QRectF area(40, 20, 60, 22);
    for (const qreal ratio : {1.0, 2.0}) {
        SCOPED_TRACE(ratio);
        Ink levels = inkOf(ratio, area,
                           [&](QPainter& painter) { LevelWaveform::paintBars(painter, area, wild, Qt::black); });
        EXPECT_TRUE(levels.inside);
        EXPECT_FALSE(levels.outside);

        // More bars than fit: the newest that fit are drawn, still inside.
        std::array<float, 48> many{};
        many.fill(1.0f);
        levels = inkOf(ratio, area,
                       [&](QPainter& painter) { LevelWaveform::paintBars(painter, area, many, Qt::black); });
        EXPECT_FALSE(levels.outside);

        for (const qreal seconds : {0.0, 0.3, 0.77, 5.1}) {
            const Ink pulse = inkOf(ratio, QRectF(40, 20, 108, 22), [&](QPainter& painter) {
                PulseWaveform::paintPulse(painter, QRectF(40, 20, 108, 22), seconds, Qt::black);
            });
            EXPECT_TRUE(pulse.inside);
            EXPECT_FALSE(pulse.outside) << seconds;
        }
    }
}

TEST(DesignRender, EverySymbolWeAskForDrawsSomethingEvenWithoutATheme)
{
    // The offscreen platform sets no icon theme: the names fall back to Adwaita, then to our own symbols.
    for (const char* name : {"dialog-warning", "edit-copy", "edit-delete", "media-record", "emblem-ok-symbolic",
                             "no-such-icon-anywhere"}) {
        const QImage image = Symbols::icon(QString::fromLatin1(name), Qt::black).pixmap(QSize(16, 16), 2.0).toImage();
        bool inked = false;
        for (int y = 0; y < image.height() && !inked; ++y) {
            for (int x = 0; x < image.width() && !inked; ++x) {
                inked = qAlpha(image.pixel(x, y)) > 0;
            }
        }
        EXPECT_TRUE(inked) << name;
    }
}

TEST(DesignRender, ForcingAnAppearanceSwapsThePaletteAndGivesItBack)
{
    AppearanceMonitor monitor;
    const QPalette desktop = QGuiApplication::palette();
    QSignalSpy swapped(&monitor, &AppearanceMonitor::appearanceChanged);
    monitor.force(Appearance::dark);
    EXPECT_TRUE(monitor.isDark());
    EXPECT_EQ(DesignTokens::appearanceOf(QGuiApplication::palette()), Appearance::dark);
    QCoreApplication::processEvents();
    monitor.force(std::nullopt);
    QCoreApplication::processEvents();
    EXPECT_EQ(QGuiApplication::palette(), desktop);
    EXPECT_FALSE(monitor.isDark());
    EXPECT_EQ(swapped.count(), 2);
}

// Not a check: renders the components in both appearances at ratio 2 into SAYLOOM_DUMP_DIR, for a look.
TEST(DesignRender, DumpsComponentsWhenAsked)
{
    const QString folder = qEnvironmentVariable("SAYLOOM_DUMP_DIR");
    if (folder.isEmpty()) {
        GTEST_SKIP() << "set SAYLOOM_DUMP_DIR to write the images";
    }
    QDir().mkpath(folder);
    for (const Appearance appearance : {Appearance::light, Appearance::dark}) {
        QWidget page;
        page.setPalette(DesignTokens::standardPalette(appearance));
        page.setAutoFillBackground(true);
        auto* column = new QVBoxLayout(&page);
        column->setContentsMargins(Spacing::xl, Spacing::xl, Spacing::xl, Spacing::xl);
        auto* card = new Card;
        auto* title = new QLabel(QStringLiteral("Can you set up Claude Code on the new repo?"));
        title->setWordWrap(true);
        card->contentLayout()->addWidget(title);
        auto* chips = new QWidget;
        auto* flow = new FlowLayout(chips);
        flow->addWidget(new CorrectionChip(QStringLiteral("CloudCode"), QStringLiteral("Claude Code")));
        flow->addWidget(new CorrectionChip(QStringLiteral("super base"), QStringLiteral("Supabase")));
        flow->addWidget(new CorrectionChip(QStringLiteral("norva"), QStringLiteral("Norva")));
        card->contentLayout()->addWidget(chips);
        card->contentLayout()->addWidget(
                new WarningLabel(QStringLiteral("\u201Cthe\u201D is one of the most common English words. This would "
                                                "change it in almost every take.")));
        auto* keys = new QHBoxLayout;
        keys->addWidget(new KeyCap(QStringLiteral("Right Alt")));
        keys->addWidget(new KeyCap(QStringLiteral("Esc")));
        keys->addStretch();
        card->contentLayout()->addLayout(keys);
        auto* waveform = new LevelWaveform;
        std::array<float, 48> levels{};
        for (std::size_t i = 0; i < levels.size(); ++i) {
            levels[i] = static_cast<float>(std::abs(std::sin(0.4 * static_cast<double>(i))) * 0.8);
        }
        waveform->setLevels(levels);
        card->contentLayout()->addWidget(waveform);
        card->contentLayout()->addWidget(new PulseWaveform);
        column->addWidget(card);
        page.resize(420, 340);
        page.ensurePolished();
        page.layout()->activate();

        QImage image(page.size() * 2, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2);
        page.render(&image);
        const QString name = appearance == Appearance::dark ? QStringLiteral("dark") : QStringLiteral("light");
        EXPECT_TRUE(image.save(folder + QStringLiteral("/components-") + name + QStringLiteral(".png")));
    }
}

} // namespace
} // namespace sayloom
