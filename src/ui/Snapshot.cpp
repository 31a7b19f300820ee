#include "ui/Snapshot.h"

#include "dictionary/DictionaryLint.h"
#include "overlay/OverlayModel.h"
#include "overlay/OverlayView.h"
#include "ui/DictionaryRowWidget.h"
#include "ui/GeneralSettings.h"
#include "ui/HistoryRowWidget.h"
#include "ui/HomeView.h"
#include "ui/InertSession.h"
#include "ui/ModelSettings.h"
#include "ui/PermissionSettings.h"
#include "ui/design/AppearanceMonitor.h"
#include "ui/design/Card.h"
#include "ui/design/DesignTokens.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QSaveFile>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>
#include <memory>

namespace sayloom {

namespace {

constexpr qreal scale = 2;

AppliedCorrection correctionAt(const QString& text, const QString& heard, const QString& written)
{
    return AppliedCorrection{heard, written, text.indexOf(written), written.size()};
}

// Lays the widget out at exactly `size` in the current appearance and draws it at twice the size.
QImage draw(QWidget& widget, const QSize& size)
{
    widget.setPalette(QApplication::palette());
    widget.setAttribute(Qt::WA_DontShowOnScreen);
    widget.setFixedSize(size);
    widget.show();
    // Layouts and polish requests are posted events; they run here, before the drawing.
    QApplication::sendPostedEvents();
    QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(widget.palette().color(QPalette::Window));
    widget.render(&image);
    widget.hide();
    return image;
}

bool writePng(const QImage& image, const QString& path)
{
    // Replaced whole: an interrupted run never leaves half an image where a good one was.
    QSaveFile file(path);
    return !image.isNull() && file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.commit();
}

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette colours = line->palette();
    colours.setColor(QPalette::Window, DesignTokens::fromPalette(QApplication::palette()).separator);
    line->setPalette(colours);
    return line;
}

QWidget* column(QWidget* parent = nullptr)
{
    auto* page = new QWidget(parent);
    page->setAutoFillBackground(true);
    page->setBackgroundRole(QPalette::Window);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(Spacing::xl, Spacing::xl, Spacing::xl, Spacing::xl);
    layout->setSpacing(Spacing::xl);
    layout->setAlignment(Qt::AlignTop);
    return page;
}

// The pills float over other windows; a colourful ground shows that they stay legible over anything.
class GradientGround final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Window));
        QLinearGradient gradient(rect().topLeft(), rect().bottomRight());
        gradient.setColorAt(0, QColor(0, 122, 255, 128));
        gradient.setColorAt(1, QColor(255, 149, 0, 102));
        painter.fillRect(rect(), gradient);
    }
};

} // namespace

QWidget* Snapshot::samplePills()
{
    auto* page = new GradientGround;
    auto* layout = new QVBoxLayout(page);
    // 24 at the sides; the four frames and their gaps take 432 of the 472 high image, centred.
    layout->setContentsMargins(Spacing::xl, 20, Spacing::xl, 20);
    layout->setSpacing(Spacing::l);
    const auto levels = [](auto formula) {
        OverlayModel::Levels values{};
        for (std::size_t i = 0; i < values.size(); ++i) {
            values[i] = float(formula(double(i)));
        }
        return values;
    };
    const std::pair<OverlayMode, OverlayModel::Levels> pills[] = {
            {OverlayMode::listening(false), levels([](double i) { return std::abs(std::sin(0.7 * i)) * 0.45 + 0.35; })},
            {OverlayMode::listening(true), levels([](double i) { return std::abs(std::cos(0.5 * i)) * 0.3 + 0.3; })},
            {OverlayMode::processing(), {}},
            {OverlayMode::message(QStringLiteral("Copied to clipboard")), {}},
    };
    for (const auto& [mode, values] : pills) {
        auto* model = new OverlayModel(page);
        for (const float level : values) {
            model->push(level);
        }
        model->setMode(mode);
        // Made after its model is set, so it starts settled on that state.
        auto* view = new OverlayView(*model, page);
        view->setAnimated(false);
        view->setFixedSize(PillMetrics::frame);
        layout->addWidget(view, 0, Qt::AlignHCenter);
    }
    return page;
}

QList<HistoryEntry> Snapshot::sampleHistory(const QDateTime& now)
{
    HistoryEntry first;
    first.text =
            QStringLiteral("Can you set up Claude Code on the new repo and point it at the Supabase staging project?");
    first.raw =
            QStringLiteral("can you set up CloudCode on the new repo and point it at the super base staging project");
    first.date = now;
    first.appName = QStringLiteral("Slack");
    first.duration = 7.4;
    first.corrections = QList<AppliedCorrection>{
            correctionAt(first.text, QStringLiteral("CloudCode"), QStringLiteral("Claude Code")),
            correctionAt(first.text, QStringLiteral("super base"), QStringLiteral("Supabase"))};

    HistoryEntry second;
    second.text = QStringLiteral("We should meet on Friday at 3. Can you send the agenda to the team?");
    second.date = now.addSecs(-3600);
    second.appName = QStringLiteral("Mail");
    second.duration = 5;
    second.corrections = QList<AppliedCorrection>();
    return {first, second};
}

QWidget* Snapshot::sampleRows(const QDateTime& now)
{
    QWidget* page = column();
    auto* card = new Card(page);
    card->setAccessibleName(QStringLiteral("Sample dictations"));
    const QList<HistoryEntry> history = sampleHistory(now);
    for (qsizetype i = 0; i < history.size(); ++i) {
        if (i > 0) {
            card->contentLayout()->addWidget(divider(card));
        }
        card->contentLayout()->addWidget(new HistoryRowWidget(history[i], card));
    }
    page->layout()->addWidget(card);

    auto* words = new Card(page);
    words->setAccessibleName(QStringLiteral("Sample dictionary"));
    const QList<DictionaryEntry> entries = sampleDictionary();
    const DictionaryLint::Index index(entries);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (i > 0) {
            words->contentLayout()->addWidget(divider(words));
        }
        words->contentLayout()->addWidget(
                new DictionaryRowWidget(entries[i], DictionaryLint::warnings(entries[i], index), words));
    }
    page->layout()->addWidget(words);
    return page;
}

QList<DictionaryEntry> Snapshot::sampleDictionary()
{
    return {DictionaryEntry(QStringLiteral("Anthropic")),
            DictionaryEntry(QStringLiteral("Claude Code"), QStringLiteral("cloud code")),
            DictionaryEntry(QStringLiteral("Norva"), QStringLiteral("the"))};
}

int Snapshot::run(const QString& folder)
{
    const QByteArray line = render(folder).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
    return 0;
}

QString Snapshot::render(const QString& folder)
{
    const QString path = QDir(folder).absolutePath();
    QDir().mkpath(path);

    InertSession session;
    const QDateTime now = session.clock().wallNow();
    const WindowParts parts = session.windowParts();
    const QList<Page> pages{
            {QStringLiteral("home"), QSize(808, 900),
             [&session] { return new HomeView(session.state(), session.clock(), session.permissions()); }},
            {QStringLiteral("rows"), QSize(808, 560), [now] { return sampleRows(now); }},
            {QStringLiteral("settings-general"), QSize(520, 520),
             [&parts] { return new GeneralSettings(parts.state, parts.inputDevices, parts.loginItem); }},
            {QStringLiteral("settings-model"), QSize(520, 360),
             [&parts] { return new ModelSettings(parts.state, parts.languageModel, parts.speechEngine); }},
            {QStringLiteral("settings-permissions"), QSize(520, 240),
             [&parts] { return new PermissionSettings(parts.state, parts.permissions); }},
            {QStringLiteral("pill"), QSize(368, 472), [] { return samplePills(); }},
    };
    AppearanceMonitor* appearance = AppearanceMonitor::instance();
    const std::optional<Appearance> forced = appearance->forced();
    for (const auto& [name, chosen] :
         {std::pair(QStringLiteral("light"), Appearance::light), std::pair(QStringLiteral("dark"), Appearance::dark)}) {
        appearance->force(chosen);
        for (const Page& page : pages) {
            // Built afresh in each appearance, so colours chosen when a widget is made are the right ones.
            const std::unique_ptr<QWidget> widget(page.make());
            writePng(draw(*widget, page.size), QDir(path).filePath(page.name + u'-' + name + u".png"));
        }
    }
    appearance->force(forced);
    return path;
}

} // namespace sayloom
