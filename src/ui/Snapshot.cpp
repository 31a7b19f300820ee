#include "ui/Snapshot.h"

#include "ui/HistoryRowWidget.h"
#include "ui/HomeView.h"
#include "ui/InertSession.h"
#include "ui/SymbolNames.h"
#include "ui/design/AppearanceMonitor.h"
#include "ui/design/Card.h"
#include "ui/design/DesignTokens.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QImage>
#include <QSaveFile>
#include <QVBoxLayout>

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
QImage render(QWidget& widget, const QSize& size)
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

} // namespace

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
            auto* line = new QFrame(card);
            line->setFixedHeight(1);
            line->setAutoFillBackground(true);
            QPalette colours = line->palette();
            colours.setColor(QPalette::Window, DesignTokens::fromPalette(QApplication::palette()).separator);
            line->setPalette(colours);
            card->contentLayout()->addWidget(line);
        }
        card->contentLayout()->addWidget(new HistoryRowWidget(history[i], card));
    }
    page->layout()->addWidget(card);
    return page;
}

int Snapshot::run(const QString& folder)
{
    const QString path = QDir(folder).absolutePath();
    QDir().mkpath(path);
    SymbolNames::addDesktopIconFolders();

    InertSession session;
    const QDateTime now = session.clock().wallNow();
    const QList<Page> pages{
            {QStringLiteral("home"), QSize(808, 900),
             [&session] { return new HomeView(session.state(), session.clock(), session.permissions()); }},
            {QStringLiteral("rows"), QSize(808, 560), [now] { return sampleRows(now); }},
    };
    AppearanceMonitor* appearance = AppearanceMonitor::instance();
    const std::optional<Appearance> forced = appearance->forced();
    for (const auto& [name, chosen] :
         {std::pair(QStringLiteral("light"), Appearance::light), std::pair(QStringLiteral("dark"), Appearance::dark)}) {
        appearance->force(chosen);
        for (const Page& page : pages) {
            // Built afresh in each appearance, so colours chosen when a widget is made are the right ones.
            const std::unique_ptr<QWidget> widget(page.make());
            writePng(render(*widget, page.size), QDir(path).filePath(page.name + u'-' + name + u".png"));
        }
    }
    appearance->force(forced);
    const QByteArray line = path.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
    return 0;
}

} // namespace sayloom
