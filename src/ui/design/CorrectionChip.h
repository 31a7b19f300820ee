#pragma once

#include <QString>
#include <QWidget>

namespace sayloom {

// One applied correction as a small capsule: what the recogniser heard, an arrow, what was written. The heard
// words are secondary, the written ones in the text colour, on a pale accent ground. Long texts are elided in the
// middle when the chip is squeezed; the full pair is the tooltip.
class CorrectionChip final : public QWidget {
    Q_OBJECT

public:
    CorrectionChip(const QString& heard, const QString& written, QWidget* parent = nullptr);

    const QString& heard() const { return m_heard; }
    const QString& written() const { return m_written; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString m_heard;
    QString m_written;
};

} // namespace sayloom
