#include "QuendrilPad/EditorAccessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace {

QAccessibleInterface* editorInterface(const QString& className, QObject* object)
{
    if (className != QLatin1String("QuendrilTextView") || !object || !object->isWidgetType())
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::EditableText);
}

} // namespace

void installEditorAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(editorInterface);
        return true;
    }();
    (void)installed;
}
