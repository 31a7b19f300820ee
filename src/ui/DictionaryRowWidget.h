#pragma once

#include "dictionary/DictionaryEntry.h"
#include "ui/DictionaryRowPainter.h"

#include <QStringList>
#include <QWidget>

namespace sayloom {

// One dictionary entry with its warnings as a plain widget, drawn exactly as the Dictionary list draws its rows,
// for the few rows shown outside that list.
class DictionaryRowWidget final : public QWidget {
    Q_OBJECT

public:
    DictionaryRowWidget(const DictionaryEntry& entry, const QStringList& warnings, QWidget* parent = nullptr);

    const DictionaryEntry& entry() const { return m_entry; }
    const QStringList& warnings() const { return m_warnings; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DictionaryEntry m_entry;
    QStringList m_warnings;
    DictionaryRowPainter m_painter;
};

} // namespace sayloom
