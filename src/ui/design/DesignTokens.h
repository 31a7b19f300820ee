#pragma once

#include <QColor>
#include <QEasingCurve>
#include <QFont>
#include <QPalette>
#include <QSize>

#include <chrono>

namespace sayloom {

// Light or dark, decided from the window colour of a palette (Qt 6.4 has no colour-scheme hint).
enum class Appearance { light, dark };

// The type scale, all on the desktop's own font (QApplication::font()). Factors of the base size: caption and
// footnote 0.85, callout 0.95, body and headline 1, title 1.3, large number 1.9 (the statistics tiles).
enum class TextStyle { caption, footnote, callout, body, headline, title, largeNumber };

// Spacing steps in logical pixels: every gap and padding is one of these.
struct Spacing {
    static constexpr int xs = 4;
    static constexpr int s = 8;
    static constexpr int m = 12;
    static constexpr int l = 16;
    static constexpr int xl = 24;
    static constexpr int xxl = 32;
};

// Corner radii in logical pixels.
struct Radius {
    static constexpr int control = 6;
    static constexpr int card = 10;
    static constexpr int pill = 22;
};

// The pill's durations and its spring. The spring (response 0.32 s, damping 0.78) is approximated by an OutBack
// curve with a small overshoot over the response time.
struct Motion {
    static constexpr std::chrono::milliseconds fadeIn{120};
    static constexpr std::chrono::milliseconds fadeOut{180};
    static constexpr std::chrono::milliseconds pillSpringDuration{320};
    static QEasingCurve pillSpring();
};

// The pill's geometry in logical pixels: a 320 x 96 window holding a capsule 44 high, centred.
struct PillMetrics {
    static constexpr QSize frame{320, 96};
    static constexpr int height = 44;
    static constexpr int sidePadding = 18;
    static constexpr int barCount = 22;
    static constexpr qreal barWidth = 3;
    static constexpr qreal barGap = 2;
    static constexpr int waveformHeight = 22;
    static constexpr int dotDiameter = 8;
    // The recording dot and its gap, or the empty space before the working pulse; keeps both capsules one width.
    static constexpr int leadingSpace = 20;
    // Width of 22 bars with their gaps.
    static constexpr qreal waveformWidth = barCount * barWidth + (barCount - 1) * barGap;
};

// The colours of one appearance, derived from a palette so the windows follow the desktop's theme and accent.
// Components call DesignTokens::fromPalette(palette()) when they paint, so a palette set on a widget tree (as the
// snapshots do) or a change of the desktop's palette is followed without further wiring.
struct DesignTokens {
    Appearance appearance = Appearance::light;
    QColor window;        // palette Window
    QColor card;          // Window, 3 % (light) or 8 % (dark) lighter
    QColor cardBorder;    // transparent in light; 8 % white in dark
    QColor text;          // palette WindowText
    QColor secondaryText; // 60 % of WindowText
    QColor separator;     // a hairline: 12 % of WindowText
    QColor accent;        // palette Highlight
    QColor accentText;    // palette HighlightedText
    QColor recording;     // the one alarm colour: #E5484D light, #FF6369 dark

    static DesignTokens fromPalette(const QPalette& palette);
    static Appearance appearanceOf(const QPalette& palette);

    // A complete light or dark palette close to the GNOME defaults, for snapshots and for forcing an appearance.
    static QPalette standardPalette(Appearance appearance);

    // The font of a text style, scaled from `base` (the application font unless given).
    static QFont font(TextStyle style);
    static QFont font(TextStyle style, const QFont& base);

    // The pill floats over other applications, so its colours are the same in both appearances.
    static QColor pillBackground();       // #141414 at 82 %
    static QColor pillBackgroundOpaque(); // the same without a compositor to blend it
    static QColor pillContent();          // white
    static QColor pillSecondaryContent(); // white at 60 %
    static QColor pillRecording();        // the dark appearance's recording red, legible on near-black
};

} // namespace sayloom
