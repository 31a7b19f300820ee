// sayloom_render_icon SVG OUTDIR NAME SIZE...
// Draws the scalable application icon at each SIZE into OUTDIR/SIZExSIZE/apps/NAME.png, the hicolor layout, so the
// installed PNGs always match the SVG they come from. Runs at build time on the build host; needs no display.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "sayloom_render_icon: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        return fail(QStringLiteral("usage: sayloom_render_icon SVG OUTDIR NAME SIZE..."));
    }
    const QString svg = QString::fromLocal8Bit(argv[1]);
    const QDir outDir(QString::fromLocal8Bit(argv[2]));
    const QString name = QString::fromLocal8Bit(argv[3]);

    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        return fail(u"cannot read " + svg);
    }
    for (int i = 4; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size < 1 || size > 4096) {
            return fail(u"not a size: " + QString::fromLocal8Bit(argv[i]));
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter, QRectF(0, 0, size, size));
        }
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        if (!outDir.mkpath(folder)) {
            return fail(u"cannot create " + outDir.filePath(folder));
        }
        const QString path = outDir.filePath(folder + u'/' + name + u".png");
        // Replaced atomically, so an interrupted build never leaves a truncated PNG that looks up to date.
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
            return fail(u"cannot write " + path);
        }
    }
    return 0;
}
