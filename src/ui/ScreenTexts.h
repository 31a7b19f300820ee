#pragma once

#include "session/AppState.h"
#include "session/ports/Trigger.h"

#include <QString>

namespace sayloom {

// The words the main window shows for the session's state, in one place so each screen says the same thing.
// Symbols are named as the design names them; Symbols turns a name into an icon of the desktop's theme.
class ScreenTexts {
public:
    ScreenTexts() = delete;

    // The line under the sidebar: what the session is doing, or whether it can work at all.
    static QString sidebarStatus(const AppState::Phase& phase, bool microphoneGranted, bool accessibilityGranted);

    // The recorder panel on Home.
    static QString recorderStatus(const AppState::Phase& phase, bool locked);
    static QString recorderSymbol(const AppState::Phase& phase);
    static QString recordButtonTitle(const AppState::Phase& phase);
    static QString recordButtonSymbol(const AppState::Phase& phase);
    static QString dictateHint(Trigger trigger);

    // Home's recent takes and the history screen without any dictation.
    static QString noRecentTakes(Trigger trigger);
    static QString noDictations(Trigger trigger);

    // The accessibility row of Home's banner and of the permission settings: "Accessibility" with `reason`, or,
    // where the desktop names what is missing, those names one per line with their reasons.
    static QString accessibilityTitle(const QList<AccessGap>& gaps);
    static QString accessibilityReason(const QList<AccessGap>& gaps, const QString& reason);

    // The History screen's count header and its clear confirmation.
    static QString dictationCount(qsizetype count);
    static QString clearTitle(qsizetype count);
    static QString clearMessage();
};

} // namespace sayloom
