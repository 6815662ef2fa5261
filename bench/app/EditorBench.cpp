// Times the editor on large sheets under a real X server (run it under Xvfb):
//   load of a 10 MB sheet with 200,000 lines until the first paint;
//   key press in the middle of that sheet to the repaint that shows it (median, 99th percentile);
//   a page scroll to its repaint;
//   retokenize and colour of a 1 MB sheet of JSON after one edit;
//   a key press in one very long line.
#include "QuendrilCore/BuiltInThemes.h"
#include "QuendrilPad/EditorAccessibility.h"
#include "QuendrilPad/JSONHighlighter.h"
#include "QuendrilPad/QuendrilTextView.h"
#include "QuendrilPad/TextViewEditor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QString bigSheet()
{
    QString text;
    text.reserve(10'500'000);
    for (int i = 0; i < 200'000; ++i)
        text += QStringLiteral("%1 the quick brown fox jumps over the lazy dog, line of prose\n")
                    .arg(i, 6, 10, QLatin1Char('0'));
    return text;
}

QString jsonSheet()
{
    QString text = QStringLiteral("[\n");
    int i = 0;
    while (text.size() < 1'000'000)
        text += QStringLiteral("    {\"id\": %1, \"name\": \"item %1\", \"ok\": true, \"tags\": "
                               "[1, 2.5, null]},\n")
                    .arg(i++);
    text += QStringLiteral("    {}\n]\n");
    return text;
}

struct Stats {
    double median;
    double p99;
};

Stats stats(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2],
            samples[std::min(samples.size() - 1, samples.size() * 99 / 100)]};
}

// Runs events until the view has painted once more; returns milliseconds since `timer` started.
double untilPainted(bool& painted, QElapsedTimer& timer)
{
    while (!painted && timer.elapsed() < 2'000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return double(timer.nsecsElapsed()) / 1e6;
}

// Milliseconds spent handling each key (until the key event returns), kept by typeKeys.
std::vector<double> handling;
// Milliseconds of one synchronous repaint of the view after each key.
std::vector<double> repaints;

std::vector<double> typeKeys(TextViewEditor& editor, qsizetype at, int count)
{
    handling.clear();
    repaints.clear();
    QuendrilTextView& view = *editor.textView();
    bool painted = false;
    view.onDraw = [&] { painted = true; };
    view.setSelectedRange({at, at});
    view.SendScintilla(QsciScintillaBase::SCI_SCROLLCARET);
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        painted = false;
        QElapsedTimer timer;
        timer.start();
        const bool erase = i % 2 == 1;
        QKeyEvent press(QEvent::KeyPress, erase ? Qt::Key_Backspace : Qt::Key_X, Qt::NoModifier,
                        erase ? QString() : QStringLiteral("x"));
        QApplication::sendEvent(&view, &press);
        handling.push_back(double(timer.nsecsElapsed()) / 1e6);
        samples.push_back(untilPainted(painted, timer));
        QElapsedTimer paint;
        paint.start();
        view.viewport()->repaint();
        repaints.push_back(double(paint.nsecsElapsed()) / 1e6);
    }
    view.onDraw = nullptr;
    return samples;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    installEditorAccessibility();
    Settings settings;
    settings.lineNumbers = true;
    const Theme theme = BuiltInThemes::mariana();

    {
        const QString text = bigSheet();
        TextViewEditor editor(settings, theme);
        bool painted = false;
        editor.textView()->onDraw = [&] { painted = true; };
        QElapsedTimer timer;
        timer.start();
        editor.load(text, 0, 0);
        editor.scrollView()->resize(1000, 800);
        editor.scrollView()->show();
        const double load = untilPainted(painted, timer);
        std::printf("load 10 MB / 200,000 lines to first paint: %.1f ms (text %lld units)\n", load,
                    qlonglong(text.size()));
        for (int i = 0; i < 20; ++i)
            QApplication::processEvents();
        // Let the first colouring run, so that keys are timed in the steady state.
        editor.highlighter().run();

        const Stats middle = stats(typeKeys(editor, text.size() / 2, 300));
        std::printf("key to repaint, middle of 10 MB: median %.2f ms, p99 %.2f ms (300 keys)\n",
                    middle.median, middle.p99);
        std::printf("  of which key handling: median %.2f ms, p99 %.2f ms; one repaint: median "
                    "%.2f ms, p99 %.2f ms\n",
                    stats(handling).median, stats(handling).p99, stats(repaints).median,
                    stats(repaints).p99);
        const Stats end = stats(typeKeys(editor, text.size() - 10, 300));
        std::printf("key to repaint, end of 10 MB: median %.2f ms, p99 %.2f ms (300 keys)\n",
                    end.median, end.p99);
        std::printf("  of which key handling: median %.2f ms, p99 %.2f ms; one repaint: median "
                    "%.2f ms, p99 %.2f ms\n",
                    stats(handling).median, stats(handling).p99, stats(repaints).median,
                    stats(repaints).p99);

        std::vector<double> scrolls;
        QuendrilTextView& view = *editor.textView();
        view.SendScintilla(QsciScintillaBase::SCI_SETFIRSTVISIBLELINE, 0UL);
        for (int i = 0; i < 20; ++i)
            QApplication::processEvents();
        const long page = view.SendScintilla(QsciScintillaBase::SCI_LINESONSCREEN);
        for (int i = 0; i < 100; ++i) {
            painted = false;
            QElapsedTimer t;
            t.start();
            view.SendScintilla(QsciScintillaBase::SCI_LINESCROLL, 0UL, page);
            scrolls.push_back(untilPainted(painted, t));
        }
        const Stats scroll = stats(scrolls);
        std::printf("page scroll to repaint: median %.2f ms, p99 %.2f ms (100 pages)\n",
                    scroll.median, scroll.p99);
        editor.textView()->onDraw = nullptr;
    }
    {
        const QString text = jsonSheet();
        TextViewEditor editor(settings, theme);
        editor.scrollView()->resize(1000, 800);
        editor.scrollView()->show();
        editor.load(text, text.size() / 2, 0);
        for (int i = 0; i < 10; ++i)
            QApplication::processEvents();
        editor.highlighter().run();
        std::vector<double> runs;
        for (int i = 0; i < 20; ++i) {
            const qsizetype at = text.size() / 2;
            editor.textView()->setSelectedRange({at, at});
            editor.textView()->insertTyping(QStringLiteral(" "));
            QElapsedTimer t;
            t.start();
            editor.highlighter().run();
            runs.push_back(double(t.nsecsElapsed()) / 1e6);
            editor.textView()->undo();
            editor.highlighter().run();
        }
        const Stats colour = stats(runs);
        std::printf("retokenize and colour 1 MB of JSON after one edit: median %.1f ms, p99 %.1f "
                    "ms (20 runs)\n",
                    colour.median, colour.p99);
    }
    for (const qsizetype length : {qsizetype(500'000), qsizetype(5'000'000)}) {
        QString text = QStringLiteral("[");
        while (text.size() < length)
            text += QStringLiteral("{\"k\":1,\"v\":\"abc\"},");
        text += QStringLiteral("{}]");
        TextViewEditor editor(settings, theme);
        editor.scrollView()->resize(1000, 800);
        editor.scrollView()->show();
        editor.load(text, 0, 0);
        for (int i = 0; i < 10; ++i)
            QApplication::processEvents();
        const Stats key = stats(typeKeys(editor, text.size() / 2, 40));
        std::printf("key to repaint in one line of %lld units (wrapped): median %.1f ms, p99 %.1f "
                    "ms (40 keys)\n",
                    qlonglong(text.size()), key.median, key.p99);
        std::printf("  of which key handling: median %.2f ms; one repaint: median %.2f ms\n",
                    stats(handling).median, stats(repaints).median);
    }
    return 0;
}
