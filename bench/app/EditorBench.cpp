// Times the editor on large sheets under a real X server (run it under Xvfb):
//   load of a 10 MB sheet with 200,000 lines until the end of the first paint;
//   key press in the middle and near the end of that sheet to the end of the paint that shows it
//   (median, 99th percentile), right after the load and once Scintilla's background wrapping is
//   done;
//   a page scroll to the end of its paint;
//   retokenize and colour of a 1 MB sheet of JSON after one edit;
//   load, key press, colouring and scrolling in one very long line, wrapped and not.
//
// Keys go through the X server (XTest) and reach the editor through the event loop like typed
// keys do; without XTest they are posted to the editor instead (the output says which). The
// clock starts when the key is sent and stops when the editor's paint that shows it returns.
#include "QuendrilCore/BuiltInThemes.h"
#include "QuendrilPad/EditorAccessibility.h"
#include "QuendrilPad/JSONHighlighter.h"
#include "QuendrilPad/QuendrilTextView.h"
#include "QuendrilPad/TextViewEditor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QLibrary>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

QString bigSheet()
{
    QString text;
    text.reserve(13'500'000);
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

// Minified JSON on one line, with varied values so that the line does not repeat itself.
QString longLine(qsizetype length)
{
    QString text = QStringLiteral("[");
    text.reserve(length + 64);
    int i = 0;
    while (text.size() < length) {
        text += QStringLiteral("{\"id\":%1,\"name\":\"item %2\",\"ok\":%3},")
                    .arg(i)
                    .arg(i * 7919 % 100'003)
                    .arg(i % 3 ? QStringLiteral("true") : QStringLiteral("null"));
        ++i;
    }
    text += QStringLiteral("{}]");
    return text;
}

struct Stats {
    double median = 0;
    double p99 = 0;
};

Stats stats(std::vector<double> samples)
{
    if (samples.empty())
        return {};
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2],
            samples[std::min(samples.size() - 1, samples.size() * 99 / 100)]};
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readLine()).section(QLatin1Char(' '), 0, 2);
}

QElapsedTimer clock_;

double now()
{
    return double(clock_.nsecsElapsed()) / 1e6;
}

// Sends keys from a thread of its own, through its own connection to the X server with XTest
// when it is there, so that a key arrives at any moment of what the editor's thread is doing, as
// a typed key does.
class KeySender {
public:
    enum Key { x, backspace, pageDown };

    KeySender()
    {
        QLibrary xtst(QStringLiteral("Xtst"), 6);
        QLibrary xlib(QStringLiteral("X11"), 6);
        m_fake = reinterpret_cast<FakeKey>(xtst.resolve("XTestFakeKeyEvent"));
        m_flush = reinterpret_cast<Flush>(xlib.resolve("XFlush"));
        m_keycode = reinterpret_cast<Keycode>(xlib.resolve("XKeysymToKeycode"));
        const auto open = reinterpret_cast<Open>(xlib.resolve("XOpenDisplay"));
        m_close = reinterpret_cast<Close>(xlib.resolve("XCloseDisplay"));
        if (open && m_close && m_fake && m_flush && m_keycode &&
            QGuiApplication::platformName() == QLatin1String("xcb"))
            m_display = open(nullptr);
        m_thread = std::thread([this] { run(); });
    }
    ~KeySender()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
        if (m_display)
            m_close(m_display);
    }
    bool throughX() const { return m_display; }

    // Sends `key` to `target` after `delayMs`; `sent` gets the time it went.
    void sendAfter(Key key, QWidget* target, int delayMs, std::atomic<double>* sent)
    {
        {
            std::lock_guard lock(m_mutex);
            m_pending = Pending{key, target, delayMs, sent};
        }
        m_wake.notify_one();
    }

private:
    struct Pending {
        Key key;
        QWidget* target;
        int delayMs;
        std::atomic<double>* sent;
    };
    using FakeKey = int (*)(Display*, unsigned int, int, unsigned long);
    using Flush = int (*)(Display*);
    using Keycode = unsigned char (*)(Display*, unsigned long);
    using Open = Display* (*)(const char*);
    using Close = int (*)(Display*);

    void run()
    {
        for (;;) {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || m_pending; });
            if (m_stop)
                return;
            const Pending pending = *m_pending;
            m_pending.reset();
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(pending.delayMs));
            pending.sent->store(now());
            send(pending.key, pending.target);
        }
    }

    void send(Key key, QWidget* target)
    {
        if (!m_display) {
            const Qt::Key qtKey = key == x           ? Qt::Key_X
                                  : key == backspace ? Qt::Key_Backspace
                                                     : Qt::Key_PageDown;
            QCoreApplication::postEvent(
                target, new QKeyEvent(QEvent::KeyPress, qtKey, Qt::NoModifier,
                                      key == x ? QStringLiteral("x") : QString()));
            return;
        }
        const unsigned long keysym = key == x ? 0x78 : key == backspace ? 0xff08 : 0xff56;
        const unsigned char code = m_keycode(m_display, keysym);
        m_fake(m_display, code, 1, 0);
        m_fake(m_display, code, 0, 0);
        m_flush(m_display);
    }

    Display* m_display = nullptr;
    FakeKey m_fake = nullptr;
    Flush m_flush = nullptr;
    Keycode m_keycode = nullptr;
    Close m_close = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Pending> m_pending;
    bool m_stop = false;
    std::thread m_thread;
};

// Runs the event loop until `done` holds (checked every few milliseconds) or `ms` pass.
bool runUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || timer.elapsed() > ms)
            loop.quit();
    });
    poll.start(2);
    loop.exec();
    return done();
}

// Scintilla wraps and styles in the background with a zero-interval timer of its own (a child of
// an internal object without a parent); this finds those timers as they fire.
class IdleTimers : public QObject {
public:
    bool busy()
    {
        return std::any_of(m_timers.begin(), m_timers.end(),
                           [](const QPointer<QTimer>& t) { return t && t->isActive(); });
    }
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Timer && object->parent() &&
            qstrcmp(object->parent()->metaObject()->className(), "QsciScintillaQt") == 0)
            if (auto* timer = qobject_cast<QTimer*>(object); timer && timer->interval() == 0 &&
                                                              !m_timers.contains(timer))
                m_timers.append(timer);
        return false;
    }

private:
    QList<QPointer<QTimer>> m_timers;
};

IdleTimers* idleTimers = nullptr;

// Runs the event loop until Scintilla's background work has stayed idle for a while; returns how
// long it went on.
double waitForBackgroundWork(int ms = 120'000)
{
    const double start = now();
    double idleSince = now();
    runUntil(
        [&] {
            if (idleTimers->busy())
                idleSince = now();
            return now() - idleSince > 300;
        },
        ms);
    return idleSince - start;
}

// One timed action: what triggers it, then the time to the end of the paint after it.
struct Timing {
    std::vector<double> total; // trigger to the end of the paint
    std::vector<double> queued; // trigger to the event reaching the editor (keys only)
    std::vector<double> handling; // event reaching the editor to the start of the paint
    std::vector<double> paint; // the paint itself
};

class EventWatch : public QObject {
public:
    std::function<void(QEvent::Type)> seen;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (seen && (event->type() == QEvent::KeyPress || event->type() == QEvent::Paint))
            seen(event->type());
        return false;
    }
};

// Times `count` actions, each to the end of the editor's next paint. `trigger(i, sent)` starts
// action i a few milliseconds later (a different pause each time, so that actions do not keep
// step with any timer) and stores in `sent` when it went.
using Trigger = std::function<void(int i, int delayMs, std::atomic<double>* sent)>;

Timing timeActions(QuendrilTextView& view, int count, const Trigger& trigger, bool isKey)
{
    Timing timing;
    std::atomic<double> sent{-1};
    double delivered = -1, paintStart = -1;
    int done = 0;
    unsigned seed = 12345;
    const auto next = [&] {
        sent = -1;
        delivered = -1;
        paintStart = -1;
        seed = seed * 1103515245 + 12345;
        trigger(done, 5 + int((seed >> 16) % 25), &sent);
    };
    EventWatch watch;
    watch.seen = [&](QEvent::Type type) {
        if (sent.load() < 0)
            return;
        if (type == QEvent::KeyPress && delivered < 0)
            delivered = now();
        else if (type == QEvent::Paint && (delivered >= 0 || !isKey) && paintStart < 0)
            paintStart = now();
    };
    view.installEventFilter(&watch);
    view.viewport()->installEventFilter(&watch);
    QEventLoop loop;
    view.onDraw = [&] {
        if (sent.load() < 0 || paintStart < 0)
            return;
        const double end = now();
        timing.total.push_back(end - sent);
        if (isKey) {
            timing.queued.push_back(delivered - sent);
            timing.handling.push_back(paintStart - delivered);
        } else {
            timing.handling.push_back(paintStart - sent);
        }
        timing.paint.push_back(end - paintStart);
        sent = -1;
        if (++done == count)
            QTimer::singleShot(0, &loop, &QEventLoop::quit);
        else
            QTimer::singleShot(0, &loop, next);
    };
    QTimer::singleShot(0, &loop, next);
    QTimer::singleShot(std::max(10'000, count * 4'000), &loop, &QEventLoop::quit);
    loop.exec();
    // A key still on its way is let in before the watch goes.
    runUntil([] { return false; }, 60);
    view.onDraw = nullptr;
    view.removeEventFilter(&watch);
    view.viewport()->removeEventFilter(&watch);
    return timing;
}

Trigger keyTrigger(KeySender& keys, QWidget* target, std::function<KeySender::Key(int)> key)
{
    return [&keys, target, key](int i, int delayMs, std::atomic<double>* sent) {
        keys.sendAfter(key(i), target, delayMs, sent);
    };
}

void focus(TextViewEditor& editor)
{
    editor.scrollView()->activateWindow();
    editor.textView()->setFocus();
    runUntil([&] { return QApplication::focusWidget() == editor.textView(); }, 3'000);
}

Timing typeKeys(TextViewEditor& editor, KeySender& keys, qsizetype at, int count)
{
    QuendrilTextView& view = *editor.textView();
    view.setSelectedRange({at, at});
    view.SendScintilla(QsciScintillaBase::SCI_SCROLLCARET);
    runUntil([] { return false; }, 100);
    const QString before = view.storage();
    Timing timing = timeActions(
        view, count,
        keyTrigger(keys, &view,
                   [](int i) { return i % 2 ? KeySender::backspace : KeySender::x; }),
        true);
    // Let a last Backspace in, then check that the keys did what they should.
    runUntil([] { return false; }, 50);
    if (view.storage() != before)
        std::printf("  !! the text differs after the keys\n");
    return timing;
}

void printKeys(const char* what, const Timing& t)
{
    const Stats total = stats(t.total);
    std::printf("%s: median %.2f ms, p99 %.2f ms (%zu keys)\n", what, total.median, total.p99,
                t.total.size());
    std::printf("    queued %.2f / %.2f, handling %.2f / %.2f, paint %.2f / %.2f ms "
                "(median / p99)\n",
                stats(t.queued).median, stats(t.queued).p99, stats(t.handling).median,
                stats(t.handling).p99, stats(t.paint).median, stats(t.paint).p99);
}

void printScroll(const char* what, const Timing& t)
{
    const Stats total = stats(t.total);
    std::printf("%s: median %.2f ms, p99 %.2f ms (%zu pages); paint %.2f ms median\n", what,
                total.median, total.p99, t.total.size(), stats(t.paint).median);
}

// Load to the end of the first paint, with the editor shown as the application shows it.
double loadToFirstPaint(TextViewEditor& editor, const QString& text)
{
    bool painted = false;
    double end = 0;
    editor.textView()->onDraw = [&] {
        if (!painted)
            end = now();
        painted = true;
    };
    const double start = now();
    editor.load(text, 0, 0);
    editor.scrollView()->resize(1000, 800);
    editor.scrollView()->show();
    runUntil([&] { return painted; }, 60'000);
    editor.textView()->onDraw = nullptr;
    return end - start;
}

Timing scrollPages(QuendrilTextView& view, QScrollBar* bar, int count)
{
    return timeActions(
        view, count,
        [&view, bar](int, int delayMs, std::atomic<double>* sent) {
            QTimer::singleShot(delayMs, &view, [bar, sent] {
                sent->store(now());
                bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
            });
        },
        false);
}

void longLineCase(qsizetype length, bool wrap, KeySender& keys, const Theme& theme)
{
    Settings settings;
    settings.lineNumbers = true;
    settings.wordWrap = wrap;
    const QString text = longLine(length);
    TextViewEditor editor(settings, theme);
    const double load = loadToFirstPaint(editor, text);
    const double background = waitForBackgroundWork();
    std::printf("one line of %lld units, wrap %s: load to first paint %.0f ms, then %.0f ms of "
                "background work\n",
                qlonglong(text.size()), wrap ? "on" : "off", load, background);
    focus(editor);
    editor.highlighter().run();
    runUntil([] { return false; }, 100);
    const int count = length > 1'000'000 ? 20 : 40;
    printKeys("  key to paint in the middle of the line", typeKeys(editor, keys, text.size() / 2,
                                                                 count));
    QuendrilTextView& view = *editor.textView();
    view.setSelectedRange({text.size() / 2, text.size() / 2});
    view.insertTyping(QStringLiteral("x"));
    runUntil([] { return false; }, 50);
    bool painted = false;
    view.onDraw = [&] { painted = true; };
    const double cpu = threadCpuMs();
    const double start = now();
    editor.highlighter().run();
    const double colour = now() - start;
    const double colourCpu = threadCpuMs() - cpu;
    runUntil([&] { return painted; }, 60'000);
    std::printf("  colouring after an edit: %.1f ms (%.1f ms CPU), to the end of the paint after "
                "it %.1f ms\n",
                colour, colourCpu, now() - start);
    view.onDraw = nullptr;
    QScrollBar* bar = wrap ? view.verticalScrollBar() : view.horizontalScrollBar();
    bar->setValue(bar->minimum());
    runUntil([] { return false; }, 100);
    printScroll(wrap ? "  page scroll down" : "  page scroll right", scrollPages(view, bar, 20));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    clock_.start();
    installEditorAccessibility();
    KeySender keys;
    IdleTimers timers;
    idleTimers = &timers;
    app.installEventFilter(&timers);
    std::printf("load average at start: %s; keys %s\n", qPrintable(loadAverage()),
                keys.throughX() ? "through the X server (XTest)" : "posted to the editor");
    const QStringList only = QCoreApplication::arguments().mid(1);
    const auto wanted = [&](const char* name) {
        return only.isEmpty() || only.contains(QLatin1String(name));
    };
    Settings settings;
    settings.lineNumbers = true;
    settings.wordWrap = true;
    const Theme theme = BuiltInThemes::mariana();

    if (wanted("big")) {
        const QString text = bigSheet();
        TextViewEditor editor(settings, theme);
        const double load = loadToFirstPaint(editor, text);
        std::printf("load 10 MB / 200,000 lines to the end of the first paint: %.1f ms (text "
                    "%lld units)\n",
                    load, qlonglong(text.size()));
        focus(editor);
        // Right after the load Scintilla is still wrapping the sheet in the background.
        printKeys("key to paint, middle of 10 MB, during background wrapping",
                  typeKeys(editor, keys, text.size() / 2, 200));
        const double background = waitForBackgroundWork();
        std::printf("  background wrapping went on for %.0f ms more\n", background);
        editor.highlighter().run();
        printKeys("key to paint, middle of 10 MB", typeKeys(editor, keys, text.size() / 2, 400));
        printKeys("key to paint, end of 10 MB", typeKeys(editor, keys, text.size() - 10, 400));

        QuendrilTextView& view = *editor.textView();
        view.verticalScrollBar()->setValue(0);
        runUntil([] { return false; }, 100);
        printScroll("page scroll (scroll bar) to paint",
                    scrollPages(view, view.verticalScrollBar(), 200));
        view.setSelectedRange({0, 0});
        view.SendScintilla(QsciScintillaBase::SCI_SCROLLCARET);
        runUntil([] { return false; }, 100);
        const Timing pageDown = timeActions(
            view, 200, keyTrigger(keys, &view, [](int) { return KeySender::pageDown; }), true);
        printKeys("Page Down key to paint", pageDown);
    }
    if (wanted("json")) {
        const QString text = jsonSheet();
        TextViewEditor editor(settings, theme);
        loadToFirstPaint(editor, text);
        waitForBackgroundWork();
        editor.load(text, text.size() / 2, 0);
        runUntil([] { return false; }, 100);
        editor.highlighter().run();
        std::vector<double> runs, cpu;
        for (int i = 0; i < 40; ++i) {
            const qsizetype at = text.size() / 2;
            editor.textView()->setSelectedRange({at, at});
            editor.textView()->insertTyping(QStringLiteral(" "));
            QElapsedTimer t;
            t.start();
            const double c = threadCpuMs();
            editor.highlighter().run();
            runs.push_back(double(t.nsecsElapsed()) / 1e6);
            cpu.push_back(threadCpuMs() - c);
            editor.textView()->undo();
            editor.highlighter().run();
        }
        const Stats colour = stats(runs);
        std::printf("retokenize and colour 1 MB of JSON after one edit: median %.1f ms, p99 %.1f "
                    "ms, CPU median %.1f ms (40 runs)\n",
                    colour.median, colour.p99, stats(cpu).median);
    }
    if (wanted("long")) {
        for (const qsizetype length : {qsizetype(500'000), qsizetype(5'000'000)})
            for (const bool wrap : {false, true})
                longLineCase(length, wrap, keys, theme);
    }
    std::printf("load average at end: %s\n", qPrintable(loadAverage()));
    return 0;
}
