#include "overlay/OverlayModel.h"

#include "overlay/OverlayPlacement.h"

#include <QSignalSpy>

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace sayloom {
namespace {

TEST(OverlayModel, KeepsTheLast22LevelsOldestFirstAndSignalsOnlyRealChanges)
{
    OverlayModel model;
    QSignalSpy changed(&model, &OverlayModel::levelsChanged);
    model.push(0.0f);
    EXPECT_EQ(changed.count(), 0) << "a zero pushed onto zeros changes nothing";

    for (int i = 1; i <= 30; ++i) {
        model.push(static_cast<float>(i) / 100.0f);
    }
    for (std::size_t i = 0; i < OverlayModel::levelCount; ++i) {
        EXPECT_FLOAT_EQ(model.levels()[i], static_cast<float>(i + 9) / 100.0f);
    }
    EXPECT_EQ(changed.count(), 30);

    model.push(std::numeric_limits<float>::quiet_NaN());
    model.push(1.5f);
    model.push(-0.2f);
    EXPECT_EQ(model.levels()[19], 0.0f);
    EXPECT_EQ(model.levels()[20], 1.0f);
    EXPECT_EQ(model.levels()[21], 0.0f);

    QSignalSpy modeChanged(&model, &OverlayModel::modeChanged);
    model.setMode(OverlayMode::message(QStringLiteral("Copied to clipboard")));
    model.setMode(OverlayMode::message(QStringLiteral("Copied to clipboard")));
    model.setMode(OverlayMode::message(QStringLiteral("Didn't catch that")));
    EXPECT_EQ(modeChanged.count(), 2);
}

TEST(OverlayPlacement, PicksTheScreenUnderTheMouseAndCentresAboveItsBottom)
{
    const std::vector<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, -200, 2560, 1440)};
    struct Row {
        QPoint cursor;
        std::optional<std::size_t> primary;
        std::optional<std::size_t> expected;
    };
    const std::vector<Row> rows{
            {QPoint(100, 100), 0, 0},
            {QPoint(2000, 1000), 0, 1},
            {QPoint(1919, 1079), 1, 0},
            {QPoint(1920, 0), 0, 1},
            {QPoint(100, 1100), 1, 1}, // between screens: the primary
            {QPoint(-5, -5), std::nullopt, std::nullopt},
            {QPoint(-5, -5), 7, std::nullopt}, // a primary that is not in the list
    };
    for (const Row& row : rows) {
        EXPECT_EQ(OverlayPlacement::screenUnder(row.cursor, screens, row.primary), row.expected)
                << row.cursor.x() << "," << row.cursor.y();
    }
    EXPECT_EQ(OverlayPlacement::screenUnder(QPoint(0, 0), {}, 0), std::nullopt);

    const QSize pill(320, 96);
    // A bottom panel of 48 px on the first screen; a top bar of 32 px on the second, which sits 200 px higher.
    EXPECT_EQ(OverlayPlacement::origin(QRect(0, 0, 1920, 1032), pill), QPoint(800, 1032 - 28 - 96));
    EXPECT_EQ(OverlayPlacement::origin(QRect(1920, -168, 2560, 1408), pill), QPoint(1920 + 1120, 1240 - 28 - 96));
}

} // namespace
} // namespace sayloom
