#include "gui/ActingControls.h"

#include "gui/ControlWidgets.h"

#include <QAccessibleWidget>

QAccessible::Role accessibleRole(Role role)
{
    switch (role) {
    case Role::PageTab: return QAccessible::PageTab;
    case Role::Button: return QAccessible::Button;
    case Role::EditableText: return QAccessible::EditableText;
    case Role::RadioButton: return QAccessible::RadioButton;
    case Role::CheckBox: return QAccessible::CheckBox;
    case Role::List: return QAccessible::List;
    case Role::Link: return QAccessible::Link;
    }
    return QAccessible::Button;
}

namespace {

// A picture button or an acting label as a screen reader meets it.
class ActingAccessible : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;

    // read each time: a screen reader may have asked before the binding gave the role
    QAccessible::Role role() const override
    {
        const QVariant r = widget()->property("accessibleRole");
        return r.isValid() ? QAccessible::Role(r.toInt()) : QAccessible::Button;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            if (auto* label = qobject_cast<const QLabel*>(widget()))
                return label->text();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (auto* b = qobject_cast<const PictureButton*>(widget()); b && role() == QAccessible::CheckBox) {
            s.checkable = true;
            s.checked = b->control()->value() != 0;
        }
        return s;
    }

    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }

    void doAction(const QString& action) override
    {
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
        } else if (widget()->isEnabled()) {
            if (auto* b = qobject_cast<PictureButton*>(widget()))
                b->click();
            else if (auto* label = qobject_cast<ActionLabel*>(widget()))
                label->activate();
        }
    }
};

QAccessibleInterface* actingInterface(const QString& className, QObject* object)
{
    if (className != u"PictureButton" && className != u"ActionLabel")
        return nullptr;
    return new ActingAccessible(static_cast<QWidget*>(object));
}

}  // namespace

void installActingAccessibility()
{
    static bool installed = false;
    if (!installed)
        QAccessible::installFactory(actingInterface);
    installed = true;
}
