#include "QuendrilPad/EditorDemoWindow.h"

#include "QuendrilCore/BuiltInThemes.h"
#include "QuendrilPad/FindBar.h"
#include "QuendrilPad/QuendrilTextView.h"
#include "QuendrilPad/TextViewEditor.h"

#include <QActionGroup>
#include <QInputDialog>
#include <QKeySequence>
#include <QMenuBar>
#include <QStatusBar>

EditorDemoWindow::EditorDemoWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_theme(BuiltInThemes::paper().resolved(Theme::Appearance::light))
{
    setWindowTitle(QStringLiteral("Quendril Pad Editor"));
    m_editor = new TextViewEditor(m_settings, m_theme, this);
    setCentralWidget(m_editor->scrollView());
    m_editor->setOnStatus([this](const QString& message) { showStatus(message); });
    m_editor->onSelectionChange = [this] { showCaret(); };
    QuendrilTextView* view = m_editor->textView();

    QMenu* edit = menuBar()->addMenu(QStringLiteral("Edit"));
    const auto add = [view](QMenu* menu, const QString& title, const QKeySequence& key, auto slot) {
        QAction* action = menu->addAction(title, view, slot);
        // The view binds these keys itself; the menu shows them.
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
        return action;
    };
    add(edit, QStringLiteral("Undo"), QKeySequence(QStringLiteral("Ctrl+Z")),
        &QuendrilTextView::undo);
    add(edit, QStringLiteral("Redo"), QKeySequence(QStringLiteral("Ctrl+Shift+Z")),
        &QuendrilTextView::redo);
    edit->addSeparator();
    QAction* paste = add(edit, QStringLiteral("Paste"), QKeySequence(QStringLiteral("Ctrl+V")),
                         &QuendrilTextView::paste);
    QAction* pasteRaw =
        add(edit, QStringLiteral("Paste Without Pretty Print"),
            QKeySequence(QStringLiteral("Ctrl+Shift+V")), &QuendrilTextView::pasteRaw);
    connect(edit, &QMenu::aboutToShow, this, [view, paste, pasteRaw] {
        const bool enabled = view->canPaste();
        paste->setEnabled(enabled);
        pasteRaw->setEnabled(enabled);
    });
    add(edit, QStringLiteral("Format JSON"), QKeySequence(QStringLiteral("Ctrl+Alt+J")),
        &QuendrilTextView::formatJSON);
    QMenu* lines = menuBar()->addMenu(QStringLiteral("Lines"));
    add(lines, QStringLiteral("Duplicate Line"), QKeySequence(QStringLiteral("Ctrl+Shift+D")),
        &QuendrilTextView::duplicateLine);
    add(lines, QStringLiteral("Delete Line"), QKeySequence(QStringLiteral("Ctrl+Shift+K")),
        &QuendrilTextView::deleteLine);
    add(lines, QStringLiteral("Move Line Up"), QKeySequence(QStringLiteral("Ctrl+Shift+Up")),
        &QuendrilTextView::moveLineUp);
    add(lines, QStringLiteral("Move Line Down"), QKeySequence(QStringLiteral("Ctrl+Shift+Down")),
        &QuendrilTextView::moveLineDown);
    add(lines, QStringLiteral("Indent"), QKeySequence(QStringLiteral("Ctrl+]")),
        &QuendrilTextView::indentLines);
    add(lines, QStringLiteral("Outdent"), QKeySequence(QStringLiteral("Ctrl+[")),
        &QuendrilTextView::outdentLines);
    add(lines, QStringLiteral("Join Lines"), QKeySequence(QStringLiteral("Ctrl+Shift+J")),
        &QuendrilTextView::joinLines);
    add(lines, QStringLiteral("Insert Line Below"), QKeySequence(QStringLiteral("Ctrl+Return")),
        &QuendrilTextView::insertLineBelow);
    add(lines, QStringLiteral("Insert Line Above"),
        QKeySequence(QStringLiteral("Ctrl+Shift+Return")), &QuendrilTextView::insertLineAbove);
    add(lines, QStringLiteral("Select Line"), QKeySequence(QStringLiteral("Ctrl+L")),
        &QuendrilTextView::selectLine);

    QMenu* find = menuBar()->addMenu(QStringLiteral("Find"));
    find->addAction(QStringLiteral("Find..."), QKeySequence(QStringLiteral("Ctrl+F")), this,
                    [this] { m_editor->findBar()->showFind(false); });
    find->addAction(QStringLiteral("Find and Replace..."), QKeySequence(QStringLiteral("Ctrl+H")),
                    this, [this] { m_editor->findBar()->showFind(true); });
    find->addAction(QStringLiteral("Find Next"), QKeySequence(QStringLiteral("F3")), this,
                    [this] { m_editor->findBar()->findNext(); });
    find->addAction(QStringLiteral("Find Previous"), QKeySequence(QStringLiteral("Shift+F3")), this,
                    [this] { m_editor->findBar()->findNext(true); });
    find->addAction(QStringLiteral("Use Selection for Find"),
                    QKeySequence(QStringLiteral("Ctrl+E")), this,
                    [this] { m_editor->findBar()->useSelection(); });
    find->addAction(QStringLiteral("Go to Line..."), QKeySequence(QStringLiteral("Ctrl+G")), this,
                    [this] {
                        bool ok = false;
                        const int line = QInputDialog::getInt(this, QStringLiteral("Go to Line"),
                                                              QStringLiteral("Line:"), 1, 0,
                                                              1'000'000'000, 1, &ok);
                        if (ok)
                            m_editor->goToLine(line);
                    });

    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("View"));
    QAction* numbers = viewMenu->addAction(QStringLiteral("Line Numbers"));
    numbers->setCheckable(true);
    connect(numbers, &QAction::toggled, this, [this](bool on) {
        m_settings.lineNumbers = on;
        m_editor->apply(m_settings, m_theme);
    });
    QAction* wrap = viewMenu->addAction(QStringLiteral("Word Wrap"));
    wrap->setCheckable(true);
    wrap->setChecked(m_settings.wordWrap);
    connect(wrap, &QAction::toggled, this, [this](bool on) {
        m_settings.wordWrap = on;
        m_editor->apply(m_settings, m_theme);
    });
    viewMenu->addSeparator();
    auto* themes = new QActionGroup(this);
    for (const Theme& theme : BuiltInThemes::all()) {
        for (const auto appearance : {Theme::Appearance::light, Theme::Appearance::dark}) {
            if (appearance == Theme::Appearance::dark && !theme.hasDarkVariant())
                continue;
            const QString title = appearance == Theme::Appearance::dark
                                      ? theme.name + QStringLiteral(" (dark)")
                                      : theme.name;
            QAction* action = viewMenu->addAction(title);
            action->setCheckable(true);
            action->setChecked(theme.name == m_theme.name &&
                               appearance == Theme::Appearance::light);
            themes->addAction(action);
            const Theme resolved = theme.resolved(appearance);
            connect(action, &QAction::triggered, this, [this, resolved] {
                m_theme = resolved;
                m_editor->apply(m_settings, m_theme);
            });
        }
    }

    m_editor->load(
        QStringLiteral("Type here. Paste JSON to see it pretty-printed.\n\n"
                       "{\"name\": \"Quendril\", \"sheets\": [1, 2, 3], \"ok\": true}\n\n"
                       "```bash\necho \"hello\" --loud $HOME # a comment\n```\n\n"
                       "https://example.org/\n"),
        0, 0);
    resize(900, 640);
    view->setFocus();
}

EditorDemoWindow::~EditorDemoWindow() = default;

void EditorDemoWindow::showStatus(const QString& message)
{
    statusBar()->showMessage(message, 3000);
}

void EditorDemoWindow::showCaret()
{
    const auto [line, column] = m_editor->caretLineAndColumn();
    statusBar()->showMessage(QStringLiteral("Line %1, column %2").arg(line).arg(column));
}
