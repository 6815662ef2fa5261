#include "QuendrilCore/BuiltInThemes.h"
#include "QuendrilPad/QuendrilTextView.h"
#include "QuendrilPad/TextViewEditor.h"

#include <QTest>

#include <gtest/gtest.h>

// A handled key is painted before the event loop runs again (the pause between keys that share
// a paint is timing and left out here).
TEST(KeyPaint, AKeyIsPaintedBeforeTheEventLoopRunsAgain)
{
    TextViewEditor editor(Settings{}, BuiltInThemes::mariana());
    editor.scrollView()->resize(500, 300);
    editor.scrollView()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.scrollView()));
    editor.load(QStringLiteral("one\ntwo\n"), 4, 0);
    QTest::qWait(50);
    int draws = 0;
    editor.textView()->onDraw = [&] { ++draws; };
    QTest::keyClick(editor.textView(), Qt::Key_A);
    EXPECT_EQ(draws, 1);
    EXPECT_EQ(editor.storage(), QStringLiteral("one\natwo\n"));
    editor.textView()->onDraw = nullptr;
}
