#include "ui/ScreenTexts.h"

namespace sayloom {

using Kind = AppState::Phase::Kind;

QString ScreenTexts::sidebarStatus(const AppState::Phase& phase, bool microphoneGranted, bool accessibilityGranted)
{
    switch (phase.kind()) {
    case Kind::transcribing:
        return QStringLiteral("Transcribing");
    case Kind::recording:
        return QStringLiteral("Recording");
    case Kind::error:
        return QStringLiteral("Something went wrong");
    case Kind::idle:
        break;
    }
    return microphoneGranted && accessibilityGranted ? QStringLiteral("Ready") : QStringLiteral("Needs permissions");
}

QString ScreenTexts::recorderStatus(const AppState::Phase& phase, bool locked)
{
    switch (phase.kind()) {
    case Kind::recording:
        return locked ? QStringLiteral("Recording \u00b7 hands-free") : QStringLiteral("Recording");
    case Kind::transcribing:
        return QStringLiteral("Transcribing\u2026");
    case Kind::error:
        return phase.message();
    case Kind::idle:
        break;
    }
    return QStringLiteral("Ready");
}

QString ScreenTexts::recorderSymbol(const AppState::Phase& phase)
{
    switch (phase.kind()) {
    case Kind::recording:
        return QStringLiteral("record.circle.fill");
    case Kind::transcribing:
        return QStringLiteral("ellipsis.circle.fill");
    case Kind::error:
        return QStringLiteral("exclamationmark.triangle.fill");
    case Kind::idle:
        break;
    }
    return QStringLiteral("checkmark.circle.fill");
}

QString ScreenTexts::recordButtonTitle(const AppState::Phase& phase)
{
    return phase.is(Kind::recording) ? QStringLiteral("Stop recording") : QStringLiteral("Start recording");
}

QString ScreenTexts::recordButtonSymbol(const AppState::Phase& phase)
{
    return phase.is(Kind::recording) ? QStringLiteral("stop.fill") : QStringLiteral("mic.fill");
}

QString ScreenTexts::dictateHint(Trigger trigger)
{
    return u"Hold " + displayName(trigger) + u" anywhere to dictate. Double-tap to keep recording, Esc to cancel.";
}

QString ScreenTexts::noRecentTakes(Trigger trigger)
{
    return u"Your dictations will appear here. Hold " + displayName(trigger) + u" in any app and start talking.";
}

QString ScreenTexts::noDictations(Trigger trigger)
{
    return u"Hold " + displayName(trigger) + u" in any app and speak. Every dictation is kept here.";
}

QString ScreenTexts::dictationCount(qsizetype count)
{
    return QString::number(count) + u" dictations";
}

QString ScreenTexts::clearTitle(qsizetype count)
{
    return u"Clear all " + QString::number(count) + u" dictations?";
}

QString ScreenTexts::clearMessage()
{
    return QStringLiteral("This removes every saved dictation from this computer. It can't be undone.");
}

QString ScreenTexts::accessibilityTitle(const QList<AccessGap>& gaps)
{
    if (gaps.isEmpty()) {
        return QStringLiteral("Accessibility");
    }
    QStringList titles;
    for (const AccessGap& gap : gaps) {
        titles.append(gap.title);
    }
    return titles.join(u'\n');
}

QString ScreenTexts::accessibilityReason(const QList<AccessGap>& gaps, const QString& reason)
{
    if (gaps.isEmpty()) {
        return reason;
    }
    QStringList reasons;
    for (const AccessGap& gap : gaps) {
        reasons.append(gap.reason);
    }
    return reasons.join(u' ');
}

} // namespace sayloom
