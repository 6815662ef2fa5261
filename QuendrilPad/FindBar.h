#pragma once

#include "QuendrilCore/TextRange.h"

#include <QWidget>

#include <optional>

class QLineEdit;
class QPushButton;
class QuendrilTextView;

// Find and replace above the editor: incremental search as the find text changes, next and
// previous with wrap-around, replace, replace all (one command step) and "use selection".
// Matching ignores case.
class FindBar : public QWidget {
    Q_OBJECT

public:
    FindBar(QuendrilTextView* textView, QWidget* parent = nullptr);

    // Shows the bar, with the replace row when asked, and puts the focus in the find field.
    void showFind(bool withReplace);
    void hideBar();
    QLineEdit* findField() const { return m_find; }
    QLineEdit* replaceField() const { return m_replace; }

    // The next match after the selection (wrapping round), or none.
    std::optional<TextRange> findNext(bool backwards = false);
    // Replaces the selection when it is a match, then finds the next.
    void replace();
    // Replaces every match; returns how many.
    int replaceAll();
    // The selection becomes the find text.
    void useSelection();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void incremental();
    bool selectionIsMatch() const;

    QuendrilTextView* m_textView;
    QLineEdit* m_find;
    QLineEdit* m_replace;
    QWidget* m_replaceRow;
};
