#include "ui/design/DesignTokens.h"

#include <QApplication>

#include <algorithm>

namespace sayloom {

namespace {

// Raises the HSL lightness by `points` (0..1) of the full range, so a near-white window still gets a white card and
// a dark one a visibly lifted card.
QColor lifted(const QColor& colour, qreal points)
{
    const QColor hsl = colour.toHsl();
    const qreal lightness = std::clamp(hsl.lightnessF() + points, 0.0, 1.0);
    return QColor::fromHslF(hsl.hslHueF(), hsl.hslSaturationF(), lightness, hsl.alphaF()).toRgb();
}

QColor withAlpha(QColor colour, qreal alpha)
{
    colour.setAlphaF(static_cast<float>(alpha));
    return colour;
}

qreal scaleOf(TextStyle style)
{
    switch (style) {
    case TextStyle::caption:
    case TextStyle::footnote:
        return 0.85;
    case TextStyle::callout:
        return 0.95;
    case TextStyle::body:
    case TextStyle::headline:
        return 1.0;
    case TextStyle::title:
        return 1.3;
    case TextStyle::largeNumber:
        return 1.9;
    }
    return 1.0;
}

} // namespace

QEasingCurve Motion::pillSpring()
{
    // OutBack's default overshoot (1.70158) reads as a bounce; a damping of 0.78 overshoots by only a few percent.
    QEasingCurve curve(QEasingCurve::OutBack);
    curve.setOvershoot(0.9);
    return curve;
}

Appearance DesignTokens::appearanceOf(const QPalette& palette)
{
    return palette.color(QPalette::Active, QPalette::Window).lightnessF() < 0.5 ? Appearance::dark : Appearance::light;
}

DesignTokens DesignTokens::fromPalette(const QPalette& palette)
{
    DesignTokens tokens;
    tokens.appearance = appearanceOf(palette);
    const bool dark = tokens.appearance == Appearance::dark;
    tokens.window = palette.color(QPalette::Window);
    tokens.card = lifted(tokens.window, dark ? 0.08 : 0.03);
    tokens.cardBorder = dark ? QColor(255, 255, 255, 20) : QColor(Qt::transparent);
    tokens.text = palette.color(QPalette::WindowText);
    tokens.secondaryText = withAlpha(tokens.text, 0.6);
    tokens.separator = withAlpha(tokens.text, 0.12);
    tokens.accent = palette.color(QPalette::Highlight);
    tokens.accentText = palette.color(QPalette::HighlightedText);
    tokens.recording = dark ? QColor(0xFF, 0x63, 0x69) : QColor(0xE5, 0x48, 0x4D);
    return tokens;
}

QPalette DesignTokens::standardPalette(Appearance appearance)
{
    const bool dark = appearance == Appearance::dark;
    const QColor window = dark ? QColor(0x24, 0x24, 0x24) : QColor(0xFA, 0xFA, 0xFA);
    const QColor text = dark ? QColor(0xFF, 0xFF, 0xFF) : QColor(0x1F, 0x1F, 0x1F);
    const QColor base = dark ? QColor(0x1E, 0x1E, 0x1E) : QColor(0xFF, 0xFF, 0xFF);
    const QColor button = dark ? QColor(0x32, 0x32, 0x32) : QColor(0xF0, 0xF0, 0xF0);
    const QColor highlight(0x35, 0x84, 0xE4);

    QPalette palette(button, window);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, window);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Base, base);
        palette.setColor(group, QPalette::AlternateBase, lifted(base, dark ? 0.04 : -0.03));
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::Button, button);
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::Highlight, highlight);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::PlaceholderText, withAlpha(text, 0.5));
        palette.setColor(group, QPalette::ToolTipBase, base);
        palette.setColor(group, QPalette::ToolTipText, text);
        palette.setColor(group, QPalette::Link, highlight);
        palette.setColor(group, QPalette::Light, lifted(button, 0.1));
        palette.setColor(group, QPalette::Midlight, lifted(button, 0.05));
        palette.setColor(group, QPalette::Mid, lifted(button, -0.1));
        palette.setColor(group, QPalette::Dark, lifted(button, -0.2));
        palette.setColor(group, QPalette::Shadow, Qt::black);
    }
    const QColor disabledText = withAlpha(text, 0.4);
    palette.setColor(QPalette::Disabled, QPalette::Window, window);
    palette.setColor(QPalette::Disabled, QPalette::Base, base);
    palette.setColor(QPalette::Disabled, QPalette::Button, button);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::Text, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, withAlpha(highlight, 0.5));
    return palette;
}

QFont DesignTokens::font(TextStyle style)
{
    return font(style, QApplication::font());
}

QFont DesignTokens::font(TextStyle style, const QFont& base)
{
    QFont font = base;
    const qreal scale = scaleOf(style);
    if (base.pointSizeF() > 0) {
        font.setPointSizeF(base.pointSizeF() * scale);
    } else if (base.pixelSize() > 0) {
        font.setPixelSize(std::max(1, qRound(base.pixelSize() * scale)));
    }
    switch (style) {
    case TextStyle::headline:
    case TextStyle::title:
    case TextStyle::largeNumber:
        font.setWeight(QFont::DemiBold);
        break;
    case TextStyle::callout:
        font.setWeight(QFont::Medium);
        break;
    default:
        break;
    }
    return font;
}

QColor DesignTokens::pillBackground()
{
    return QColor(0x14, 0x14, 0x14, 209);
}

QColor DesignTokens::pillBackgroundOpaque()
{
    return QColor(0x14, 0x14, 0x14);
}

QColor DesignTokens::pillContent()
{
    return QColor(Qt::white);
}

QColor DesignTokens::pillSecondaryContent()
{
    return QColor(255, 255, 255, 153);
}

QColor DesignTokens::pillRecording()
{
    return QColor(0xFF, 0x63, 0x69);
}

} // namespace sayloom
