#include "QuendrilPad/SkeletonWindow.h"

#include <Qsci/qsciscintilla.h>

#include <QFontDatabase>

SkeletonWindow::SkeletonWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Quendril Pad"));
    m_editor = new QsciScintilla(this);
    m_editor->setUtf8(true);
    m_editor->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_editor->setWrapMode(QsciScintilla::WrapWord);
    setCentralWidget(m_editor);
    resize(900, 640);
    m_editor->setFocus();
}
