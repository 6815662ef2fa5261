#pragma once

#include "QuendrilCore/Settings.h"
#include "QuendrilCore/Theme.h"

#include <QMainWindow>

class TextViewEditor;

// A window with one editor and its commands in menus, so that the editor can be tried by hand
// before the tabs exist (quendril-pad --editor-demo).
class EditorDemoWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit EditorDemoWindow(QWidget* parent = nullptr);
    ~EditorDemoWindow() override;
    TextViewEditor& editor() const { return *m_editor; }

private:
    void showStatus(const QString& message);
    void showCaret();

    Settings m_settings;
    Theme m_theme;
    TextViewEditor* m_editor = nullptr;
};
