#pragma once

#include <QList>
#include <QTimer>
#include <QWidget>

class QGridLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace sayloom {

class AppState;
class Clock;
class Card;
class HistoryRowWidget;
class LevelWaveform;
class Permissions;

// The first screen: the recorder with its status, button, live waveform and transcript; what permission is
// missing; the four figures of the day; and the three latest dictations.
class HomeView final : public QWidget {
    Q_OBJECT

public:
    HomeView(AppState& state, Clock& clock, Permissions& permissions, QWidget* parent = nullptr);
    ~HomeView() override;

    QPushButton* recordButton() const { return m_record; }
    QPushButton* showAllButton() const { return m_showAll; }
    QList<HistoryRowWidget*> recentRows() const;
    QWidget* permissionBanner() const;
    // Where the desktop has no tray, Home says how to get one and how to quit, since closing the window does not.
    void setTrayHintVisible(bool visible);
    QWidget* trayHint() const;

signals:
    // "Show All": the window switches to History.
    void showAllRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateRecorder();
    void updateTranscript();
    void updatePermissions();
    void updateStats();
    void updateRecent();
    void updateColours();

    AppState& m_state;
    Clock& m_clock;
    Permissions& m_permissions;

    QLabel* m_statusSymbol;
    QLabel* m_status;
    QPushButton* m_record;
    LevelWaveform* m_waveform;
    QLabel* m_transcript;
    QLabel* m_hint;

    Card* m_banner;
    Card* m_trayHint;
    QWidget* m_microphoneRow;
    QWidget* m_accessibilityRow;

    struct Tile {
        QString symbol;
        QLabel* icon;
        QLabel* value;
        QLabel* label;
    };
    QList<Tile> m_tiles;

    QPushButton* m_showAll;
    Card* m_recentCard;
    QVBoxLayout* m_recentLayout;
    QLabel* m_noRecent;
    // The figures name "today", which moves on while the window stays open.
    QTimer m_statsTimer;
};

} // namespace sayloom
