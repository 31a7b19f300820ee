#pragma once

#include "dictionary/DictionaryEntry.h"

#include <QFont>
#include <QPalette>
#include <QRect>
#include <QString>
#include <QStringList>

class QPainter;

namespace sayloom {

// Draws one dictionary entry as the list shows it: a word's phrase, or a correction's heard form, an arrow and its
// phrase; the kind as a tag at the top right; then one line per warning, each behind a warning symbol. Measuring
// and painting lay the text out with one routine, so a row is exactly as tall as what it draws. The list's delegate
// and the row widget share it.
class DictionaryRowPainter {
public:
    DictionaryRowPainter();

    int heightForWidth(const DictionaryEntry& entry, const QStringList& warnings, int width) const;
    void paint(QPainter& painter, const QRect& rect, const DictionaryEntry& entry, const QStringList& warnings,
               const QPalette& palette) const;

    // The row's text as read out: "Supabase", or "cloud code → Claude Code".
    static QString mainText(const DictionaryEntry& entry);
    static QString tagTitle(DictionaryEntry::Kind kind);

private:
    QSize tagSize(DictionaryEntry::Kind kind) const;
    int mainWidth(const DictionaryEntry& entry, int width) const;
    int warningTextWidth(int width) const;

    QFont m_body;
    QFont m_caption;
};

} // namespace sayloom
