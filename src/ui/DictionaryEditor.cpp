#include "ui/DictionaryEditor.h"

#include "dictionary/DictionaryStore.h"
#include "ui/DictionaryRowPainter.h"
#include "ui/design/DesignTokens.h"
#include "ui/design/WarningLabel.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace sayloom {

namespace {

constexpr int sheetWidth = 460;

bool isCorrection(const QComboBox& type)
{
    return type.currentData().toString() == DictionaryEntry::rawValue(DictionaryEntry::Kind::correction);
}

} // namespace

DictionaryEditor::DictionaryEditor(DictionaryStore& store, std::optional<DictionaryEntry> existing, QWidget* parent)
    : QDialog(parent)
    , m_store(store)
    , m_existing(std::move(existing))
    , m_newId(QUuid::createUuid())
    , m_form(new QFormLayout)
    , m_type(new QComboBox(this))
    , m_heard(new QLineEdit(this))
    , m_phrase(new QLineEdit(this))
    , m_phraseLabel(new QLabel(this))
    , m_help(new QLabel(this))
    , m_notes(new QVBoxLayout)
    , m_refusal(new WarningLabel(QString(), this))
    , m_gone(new WarningLabel(QStringLiteral("This entry is no longer in the dictionary file. Saving adds it again."),
                              this))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(m_existing ? QStringLiteral("Edit Entry") : QStringLiteral("Add Entry"));
    setMinimumWidth(sheetWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(Spacing::xl, Spacing::xl, Spacing::xl, Spacing::l);
    layout->setSpacing(Spacing::m);

    for (const DictionaryEntry::Kind kind : DictionaryEntry::allKinds) {
        m_type->addItem(DictionaryRowPainter::tagTitle(kind), DictionaryEntry::rawValue(kind));
    }
    m_type->setAccessibleName(QStringLiteral("Type"));
    m_heard->setPlaceholderText(QStringLiteral("cloud code"));
    m_heard->setAccessibleName(QStringLiteral("When I say"));
    m_form->setSpacing(Spacing::s);
    m_form->addRow(QStringLiteral("Type"), m_type);
    m_form->addRow(QStringLiteral("When I say"), m_heard);
    m_form->addRow(m_phraseLabel, m_phrase);
    layout->addLayout(m_form);

    m_help->setWordWrap(true);
    m_help->setFont(DesignTokens::font(TextStyle::callout));
    applyColours();
    layout->addWidget(m_help);

    m_notes->setSpacing(Spacing::xs);
    m_refusal->setAccessibleName(QStringLiteral("Can't be saved"));
    m_notes->addWidget(m_refusal);
    m_notes->addWidget(m_gone);
    layout->addLayout(m_notes);

    auto* buttons = new QDialogButtonBox(this);
    m_cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    m_confirm = buttons->addButton(m_existing ? QStringLiteral("Save") : QStringLiteral("Add"),
                                   QDialogButtonBox::AcceptRole);
    m_confirm->setDefault(true);
    layout->addWidget(buttons);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_confirm, &QPushButton::clicked, this, &DictionaryEditor::save);

    if (m_existing) {
        const DictionaryFields loaded = DictionaryFields::of(*m_existing);
        m_type->setCurrentIndex(loaded.kind == DictionaryEntry::Kind::correction ? 1 : 0);
        m_phrase->setText(loaded.phrase);
        m_heard->setText(loaded.heardAs);
    }
    connect(m_type, &QComboBox::currentIndexChanged, this, &DictionaryEditor::refresh);
    connect(m_phrase, &QLineEdit::textChanged, this, &DictionaryEditor::refresh);
    connect(m_heard, &QLineEdit::textChanged, this, &DictionaryEditor::refresh);
    // The list behind the sheet may change on disk while it is open: the fields stay, the warnings follow.
    connect(&m_store, &DictionaryStore::entriesChanged, this, [this] {
        rebuildIndex();
        refresh();
    });
    rebuildIndex();
    refresh();
    (isCorrection(*m_type) ? m_heard : m_phrase)->setFocus(Qt::OtherFocusReason);
}

DictionaryEditor::~DictionaryEditor() = default;

DictionaryFields DictionaryEditor::fields() const
{
    return {isCorrection(*m_type) ? DictionaryEntry::Kind::correction : DictionaryEntry::Kind::word, m_phrase->text(),
            m_heard->text()};
}

std::optional<DictionaryEntry> DictionaryEditor::draft() const
{
    std::optional<DictionaryEntry> entry = DictionaryRules::draft(fields(), m_existing);
    if (entry && !m_existing) {
        entry->id = m_newId;
    }
    return entry;
}

QStringList DictionaryEditor::shownWarnings() const
{
    QStringList texts;
    for (const WarningLabel* label : m_warnings) {
        if (!label->isHidden()) {
            texts.append(label->text());
        }
    }
    return texts;
}

std::optional<QString> DictionaryEditor::shownRefusal() const
{
    return m_refusal->isHidden() ? std::nullopt : std::optional(m_refusal->text());
}

void DictionaryEditor::save()
{
    const std::optional<DictionaryEntry> entry = draft();
    if (!entry || DictionaryRules::refusal(fields())) {
        return;
    }
    // An entry removed from the file while the sheet was open comes back rather than vanishing with the edit.
    if (m_existing && targetStillThere()) {
        m_store.update(*entry);
    } else {
        m_store.add(*entry);
    }
    accept();
}

void DictionaryEditor::refresh()
{
    const bool correction = isCorrection(*m_type);
    m_form->setRowVisible(m_heard, correction);
    m_phraseLabel->setText(correction ? QStringLiteral("Write") : QStringLiteral("Word or phrase"));
    m_phrase->setPlaceholderText(correction ? QStringLiteral("Claude Code") : QStringLiteral("Supabase"));
    m_phrase->setAccessibleName(correction ? QStringLiteral("Write") : QStringLiteral("Word or phrase"));
    m_help->setText(correction ? QStringLiteral("Use this when it consistently hears something else. Matches whole "
                                                "words in any capitalization.")
                               : QStringLiteral("Use the exact spelling you want. Sayloom will also fix joined-up and "
                                                "hyphenated versions."));

    const std::optional<DictionaryEntry> entry = draft();
    const std::optional<QString> refusal = DictionaryRules::refusal(fields());
    m_refusal->setText(refusal.value_or(QString()));
    m_refusal->setVisible(refusal.has_value());
    m_gone->setVisible(m_existing && !targetStillThere());
    m_confirm->setEnabled(entry && !refusal);

    // An entry the file can't keep shows why, not advice on how it would behave.
    const QStringList warnings = entry && !refusal ? DictionaryLint::warnings(*entry, m_index) : QStringList();
    while (m_warnings.size() < warnings.size()) {
        auto* label = new WarningLabel(QString(), this);
        m_notes->insertWidget(int(m_warnings.size()), label);
        m_warnings.append(label);
    }
    for (qsizetype i = 0; i < m_warnings.size(); ++i) {
        if (i < warnings.size()) {
            m_warnings[i]->setText(warnings[i]);
        }
        m_warnings[i]->setVisible(i < warnings.size());
    }
    // A sheet that kept its size would squeeze a row that appears, or leave a gap where a warning was.
    if (isVisible()) {
        fitHeight();
    }
}

void DictionaryEditor::fitHeight()
{
    layout()->activate();
    const int height =
            layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width()) : layout()->totalSizeHint().height();
    resize(width(), height);
}

void DictionaryEditor::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    fitHeight();
}

void DictionaryEditor::applyColours()
{
    QPalette secondary = m_help->palette();
    secondary.setColor(QPalette::WindowText, DesignTokens::fromPalette(palette()).secondaryText);
    m_help->setPalette(secondary);
}

void DictionaryEditor::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        applyColours();
    }
    QDialog::changeEvent(event);
}

void DictionaryEditor::rebuildIndex()
{
    m_index = DictionaryLint::Index(m_store.entries());
}

bool DictionaryEditor::targetStillThere() const
{
    const QList<DictionaryEntry>& entries = m_store.entries();
    return m_existing && std::any_of(entries.begin(), entries.end(),
                                     [&](const DictionaryEntry& entry) { return entry.id == m_existing->id; });
}

} // namespace sayloom
