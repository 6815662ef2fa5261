#include "QuendrilPad/FindBar.h"

#include "QuendrilPad/QuendrilTextView.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

FindBar::FindBar(QuendrilTextView* textView, QWidget* parent)
    : QWidget(parent)
    , m_textView(textView)
    , m_find(new QLineEdit(this))
    , m_replace(new QLineEdit(this))
    , m_replaceRow(new QWidget(this))
{
    m_find->setPlaceholderText(QStringLiteral("Find"));
    m_replace->setPlaceholderText(QStringLiteral("Replace"));
    auto* findRow = new QHBoxLayout;
    findRow->setContentsMargins(6, 4, 6, 0);
    findRow->addWidget(m_find, 1);
    auto* previous = new QPushButton(QStringLiteral("Previous"), this);
    auto* next = new QPushButton(QStringLiteral("Next"), this);
    auto* done = new QPushButton(QStringLiteral("Done"), this);
    findRow->addWidget(previous);
    findRow->addWidget(next);
    findRow->addWidget(done);
    auto* replaceLayout = new QHBoxLayout(m_replaceRow);
    replaceLayout->setContentsMargins(6, 0, 6, 4);
    replaceLayout->addWidget(m_replace, 1);
    auto* replaceOne = new QPushButton(QStringLiteral("Replace"), m_replaceRow);
    auto* replaceEvery = new QPushButton(QStringLiteral("All"), m_replaceRow);
    replaceLayout->addWidget(replaceOne);
    replaceLayout->addWidget(replaceEvery);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(findRow);
    layout->addWidget(m_replaceRow);

    connect(m_find, &QLineEdit::textEdited, this, &FindBar::incremental);
    connect(m_find, &QLineEdit::returnPressed, this, [this] { findNext(); });
    connect(next, &QPushButton::clicked, this, [this] { findNext(); });
    connect(previous, &QPushButton::clicked, this, [this] { findNext(true); });
    connect(done, &QPushButton::clicked, this, &FindBar::hideBar);
    connect(replaceOne, &QPushButton::clicked, this, &FindBar::replace);
    connect(replaceEvery, &QPushButton::clicked, this, [this] { replaceAll(); });
    connect(m_replace, &QLineEdit::returnPressed, this, &FindBar::replace);
    hide();
}

void FindBar::showFind(bool withReplace)
{
    m_replaceRow->setVisible(withReplace);
    show();
    m_find->setFocus();
    m_find->selectAll();
}

void FindBar::hideBar()
{
    hide();
    m_textView->setFocus();
}

void FindBar::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        hideBar();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool FindBar::selectionIsMatch() const
{
    const TextRange selection = m_textView->selectedRange();
    const QString needle = m_find->text();
    return !needle.isEmpty() && selection.length() == needle.size() &&
           QStringView(m_textView->storage())
                   .mid(selection.lower, selection.length())
                   .compare(needle, Qt::CaseInsensitive) == 0;
}

std::optional<TextRange> FindBar::findNext(bool backwards)
{
    const QString needle = m_find->text();
    const QString& text = m_textView->storage();
    if (needle.isEmpty() || text.isEmpty())
        return std::nullopt;
    const TextRange selection = m_textView->selectedRange();
    qsizetype found = -1;
    if (backwards) {
        if (selection.lower > 0)
            found = text.lastIndexOf(needle, selection.lower - 1, Qt::CaseInsensitive);
        if (found < 0)
            found = text.lastIndexOf(needle, -1, Qt::CaseInsensitive);
    } else {
        found = text.indexOf(needle, selection.upper, Qt::CaseInsensitive);
        if (found < 0)
            found = text.indexOf(needle, 0, Qt::CaseInsensitive);
    }
    if (found < 0)
        return std::nullopt;
    const TextRange match{found, found + needle.size()};
    m_textView->setSelectedRange(match);
    m_textView->scrollRangeToVisible(match);
    return match;
}

void FindBar::incremental()
{
    // Search again from the start of the current match, so that typing more letters extends it.
    const TextRange selection = m_textView->selectedRange();
    m_textView->setSelectedRange({selection.lower, selection.lower});
    findNext();
}

void FindBar::replace()
{
    if (selectionIsMatch()) {
        UndoHistory& undo = m_textView->undoHistory();
        const TextRange selection = m_textView->selectedRange();
        undo.beginGroup();
        undo.setActionName(QStringLiteral("Replace"));
        m_textView->replaceRange(selection, m_replace->text());
        undo.endGroup();
        const qsizetype caret = selection.lower + m_replace->text().size();
        m_textView->setSelectedRange({caret, caret});
    }
    findNext();
}

int FindBar::replaceAll()
{
    const QString needle = m_find->text();
    const QString& text = m_textView->storage();
    if (needle.isEmpty())
        return 0;
    QList<TextEdit> edits;
    for (qsizetype at = text.indexOf(needle, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(needle, at + needle.size(), Qt::CaseInsensitive))
        edits.append(TextEdit{{at, at + needle.size()}, m_replace->text()});
    if (edits.isEmpty())
        return 0;
    m_textView->applyCommandEdits(edits, QStringLiteral("Replace All"));
    return int(edits.size());
}

void FindBar::useSelection()
{
    const TextRange selection = m_textView->selectedRange();
    if (selection.isEmpty())
        return;
    m_find->setText(m_textView->storage().mid(selection.lower, selection.length()));
}
