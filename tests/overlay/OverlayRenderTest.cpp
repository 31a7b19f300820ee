#include "overlay/OverlayView.h"
#include "ui/design/DesignTokens.h"

#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace sayloom {
namespace {

QImage render(OverlayView& view, qreal ratio)
{
    view.resize(PillMetrics::frame);
    QImage image(PillMetrics::frame * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

std::unique_ptr<OverlayModel> modelShowing(const OverlayMode& mode, double (*level)(int))
{
    auto model = std::make_unique<OverlayModel>();
    for (int i = 0; i < 22; ++i) {
        model->push(static_cast<float>(level(i)));
    }
    model->setMode(mode);
    return model;
}

TEST(OverlayRender, DrawsTheCapsuleInEveryModeAndNothingWhenHidden)
{
    const auto wave = [](int i) { return std::abs(std::sin(0.7 * i)) * 0.45 + 0.35; };
    std::vector<std::unique_ptr<OverlayModel>> models;
    models.push_back(modelShowing(OverlayMode::listening(false), wave));
    models.push_back(
            modelShowing(OverlayMode::listening(true), [](int i) { return std::abs(std::cos(0.5 * i)) * 0.3 + 0.3; }));
    models.push_back(modelShowing(OverlayMode::processing(), wave));
    models.push_back(modelShowing(OverlayMode::message(QStringLiteral("Copied to clipboard")), wave));

    const QString folder = qEnvironmentVariable("SAYLOOM_DUMP_DIR");
    for (const qreal ratio : {1.0, 2.0}) {
        for (const bool opaque : {false, true}) {
            // Stacked as the snapshot shows them, over a blue-to-orange wash.
            QImage sheet(QSize(368, 472) * ratio, QImage::Format_ARGB32_Premultiplied);
            sheet.setDevicePixelRatio(ratio);
            QPainter painter(&sheet);
            QLinearGradient wash(0, 0, 368, 472);
            wash.setColorAt(0, QColor(0, 0, 255, 128));
            wash.setColorAt(1, QColor(255, 165, 0, 102));
            sheet.fill(Qt::white);
            painter.fillRect(QRect(0, 0, 368, 472), wash);
            for (std::size_t i = 0; i < models.size(); ++i) {
                // A child, as in a snapshot: only a window of its own is cut to the capsule.
                QWidget holder;
                OverlayView view(*models[i], &holder);
                view.setOpaque(opaque);
                const QImage pill = render(view, ratio);
                // The capsule's middle is the pill's near-black, at 82 % unless painted opaque.
                const QRgb middle = pill.pixel(pill.width() / 2, pill.height() / 2 - static_cast<int>(15 * ratio));
                EXPECT_EQ(qAlpha(middle), opaque ? 255 : 209) << i;
                EXPECT_LT(qRed(middle), 40) << i;
                // Outside the 44 px capsule the frame stays clear.
                EXPECT_EQ(qAlpha(pill.pixel(pill.width() / 2, static_cast<int>(10 * ratio))), 0) << i;
                painter.drawImage(QPointF(24, 24 + static_cast<qreal>(i) * (96 + 16)), pill);
            }
            painter.end();
            if (!folder.isEmpty()) {
                QDir().mkpath(folder);
                sheet.save(folder + QStringLiteral("/pill-%1x%2.png")
                                            .arg(ratio)
                                            .arg(opaque ? QStringLiteral("-opaque") : QString()));
            }
        }
    }

    OverlayModel hidden;
    OverlayView view(hidden);
    const QImage nothing = render(view, 2);
    for (int y = 0; y < nothing.height(); ++y) {
        for (int x = 0; x < nothing.width(); ++x) {
            ASSERT_EQ(qAlpha(nothing.pixel(x, y)), 0);
        }
    }
}

} // namespace
} // namespace sayloom
