#include "ui/DictionaryRowWidget.h"

#include <QPainter>

namespace sayloom {

DictionaryRowWidget::DictionaryRowWidget(const DictionaryEntry& entry, const QStringList& warnings, QWidget* parent)
    : QWidget(parent)
    , m_entry(entry)
    , m_warnings(warnings)
{
    setAccessibleName(DictionaryRowPainter::mainText(entry));
    setAccessibleDescription((QStringList{DictionaryRowPainter::tagTitle(entry.kind())} + warnings).join(u". "));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int DictionaryRowWidget::heightForWidth(int width) const
{
    return m_painter.heightForWidth(m_entry, m_warnings, width);
}

QSize DictionaryRowWidget::sizeHint() const
{
    const int width = std::max(this->width(), 480);
    return QSize(width, heightForWidth(width));
}

void DictionaryRowWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    m_painter.paint(painter, rect(), m_entry, m_warnings, palette());
}

} // namespace sayloom
