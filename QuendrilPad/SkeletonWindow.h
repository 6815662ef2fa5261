#pragma once

#include <QMainWindow>

class QsciScintilla;

// The first window of the application: one editor, until the tabs and the main window
// controller take its place.
class SkeletonWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit SkeletonWindow(QWidget* parent = nullptr);

    QsciScintilla* editor() const { return m_editor; }

private:
    QsciScintilla* m_editor = nullptr;
};
