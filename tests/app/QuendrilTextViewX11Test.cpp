#include "QuendrilPad/QuendrilTextView.h"
#include "Eventually.h"

#include <QApplication>
#include <QClipboard>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The middle of the character at a UTF-16 position, in viewport coordinates.
QPoint pointAt(QuendrilTextView& view, qsizetype unit)
{
    const auto bytes = static_cast<unsigned long>(view.positions().toBytes(unit));
    const long next = view.SendScintilla(QsciScintillaBase::SCI_POSITIONAFTER, bytes);
    const long x = view.SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, long(bytes));
    const long x2 = view.SendScintilla(QsciScintillaBase::SCI_POINTXFROMPOSITION, 0UL, next);
    const long y = view.SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, long(bytes));
    const long height = view.SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0UL);
    return {int((x + x2) / 2), int(y + height / 2)};
}

struct ShownView {
    QuendrilTextView view;
    QList<QUrl> opened;
    int draws = 0;
    const QString text = QStringLiteral("see https://example.org/x here\nplain text");

    ShownView()
    {
        view.onOpenURL = [this](const QUrl& url) { opened << url; };
        view.onDraw = [this] { ++draws; };
        view.setWholeText(text);
        view.resize(600, 300);
        view.show();
        view.activateWindow();
    }
    qsizetype at(const char* needle) const { return text.indexOf(QLatin1String(needle)); }
};

} // namespace

TEST(QuendrilTextView, OnlyAPlainClickOnALinkOpensIt)
{
    ShownView s;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&s.view));
    ASSERT_EVENTUALLY(s.draws > 0);
    QWidget* viewport = s.view.viewport();

    QTest::mouseClick(viewport, Qt::LeftButton, {}, pointAt(s.view, s.at("example")));
    EXPECT_EQ(s.opened, QList<QUrl>{QUrl(QStringLiteral("https://example.org/x"))});

    s.opened.clear();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, pointAt(s.view, s.at("plain") + 1));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier,
                      pointAt(s.view, s.at("example")));
    QTest::qWait(400); // no double click with the next press
    EXPECT_TRUE(s.opened.isEmpty());

    // A drag over the link selects and opens nothing.
    QTest::mousePress(viewport, Qt::LeftButton, {}, pointAt(s.view, s.at("https")));
    QTest::mouseMove(viewport, pointAt(s.view, s.at("/x")));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, pointAt(s.view, s.at("/x")));
    EXPECT_FALSE(s.view.selectedRange().isEmpty());
    EXPECT_TRUE(s.opened.isEmpty());
}

TEST(QuendrilTextView, PointingHandOverLinks)
{
    ShownView s;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&s.view));
    QWidget* viewport = s.view.viewport();
    EXPECT_TRUE(s.view.link(pointAt(s.view, s.at("example"))).has_value());
    EXPECT_FALSE(s.view.link(pointAt(s.view, s.at("here"))).has_value());
    EXPECT_FALSE(s.view.link(QPoint(590, 280)).has_value()); // beside the text
    QTest::mouseMove(viewport, pointAt(s.view, s.at("example")));
    EXPECT_EVENTUALLY_EQ(viewport->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(viewport, pointAt(s.view, s.at("plain")));
    EXPECT_EVENTUALLY_EQ(viewport->cursor().shape(), Qt::IBeamCursor);
}

TEST(QuendrilTextView, MiddleClickPastesThePrimarySelectionAsItIs)
{
    ShownView s;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&s.view));
    QClipboard* clipboard = QGuiApplication::clipboard();
    ASSERT_TRUE(clipboard->supportsSelection());
    const QString selected = QStringLiteral("a\r\nb\rc");
    clipboard->setText(selected, QClipboard::Selection);
    EXPECT_EVENTUALLY_EQ(clipboard->text(QClipboard::Selection), selected);
    const qsizetype at = s.at("plain");
    QTest::mouseClick(s.view.viewport(), Qt::MiddleButton, {}, pointAt(s.view, at) - QPoint(3, 0));
    EXPECT_EQ(s.view.storage(), QString(s.text).insert(at, selected));
    EXPECT_EQ(s.view.undoHistory().undoActionName(), QStringLiteral("Paste"));
    s.view.undo();
    EXPECT_EQ(s.view.storage(), s.text);
}

TEST(QuendrilTextView, DraggingTheSelectionMovesIt)
{
    ShownView s;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&s.view));
    ASSERT_EVENTUALLY(s.draws > 0);
    const qsizetype from = s.at("here");
    s.view.setSelectedRange({from, from + 4});
    QApplication::processEvents();
    // Real pointer events through the X server, which a drag needs: press on the selection,
    // move in steps to the start of "plain", release.
    const QPoint start = s.view.viewport()->mapToGlobal(pointAt(s.view, from + 1));
    const QPoint end =
        s.view.viewport()->mapToGlobal(pointAt(s.view, s.at("plain")) - QPoint(3, 0));
    QStringList arguments{QStringLiteral("mousemove"), QString::number(start.x()),
                          QString::number(start.y()), QStringLiteral("mousedown"),
                          QStringLiteral("1")};
    for (int step = 1; step <= 8; ++step) {
        const QPoint p = start + (end - start) * step / 8;
        arguments << QStringLiteral("sleep") << QStringLiteral("0.05")
                  << QStringLiteral("mousemove") << QString::number(p.x())
                  << QString::number(p.y());
    }
    arguments << QStringLiteral("sleep") << QStringLiteral("0.1") << QStringLiteral("mouseup")
              << QStringLiteral("1");
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    ASSERT_TRUE(xdotool.waitForStarted());
    ASSERT_EVENTUALLY_WITHIN(xdotool.state() == QProcess::NotRunning, 10'000);
    EXPECT_EVENTUALLY_EQ(s.view.storage(),
                         QStringLiteral("see https://example.org/x \nhereplain text"));
    EXPECT_EQ(s.view.undoHistory().undoActionName(), QStringLiteral("Move"));
}
