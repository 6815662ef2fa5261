#include "QuendrilPad/SkeletonWindow.h"

#include <Qsci/qsciscintilla.h>

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

TEST(SkeletonWindow, ShowsAnEditorThatTakesTyping)
{
    SkeletonWindow window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quendril Pad"));

    window.editor()->setFocus();
    QTest::keyClicks(window.editor(), QStringLiteral("hello "));
    // Non-ASCII text arrives as the event's text.
    QTest::sendKeyEvent(QTest::Click, window.editor(), Qt::Key_unknown, QStringLiteral("é"),
                        Qt::NoModifier);
    EXPECT_EQ(window.editor()->text(), QStringLiteral("hello é"));
}
