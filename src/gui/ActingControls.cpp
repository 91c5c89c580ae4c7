#include "gui/ActingControls.h"

#include "gui/ControlWidgets.h"

#include <QAccessibleWidget>

const std::vector<ActingControl>& actingControls()
{
    using N = ActingControl::Name;
    using R = QAccessible::Role;
    // clang-format off
    static const std::vector<ActingControl> table{
        {"LokalStarteBtn", R::PageTab, N::Own, QT_TRANSLATE_NOOP("Mirovell", "Abspielen")},
        {"SendenTabButton", R::PageTab, N::Own, QT_TRANSLATE_NOOP("Mirovell", "Senden")},
        {"EmpfangenTabButton", R::PageTab, N::Own, QT_TRANSLATE_NOOP("Mirovell", "Empfangen")},
        {"ExitBtn", R::Button, N::Own, QT_TRANSLATE_NOOP("Mirovell", "Ende")},
        {"Command2", R::Button, N::Caption},
        {"RunVLCBtn", R::Button, N::Caption},
        {"SendPrevBtn", R::Button, N::Caption},
        {"SendPauseBtn", R::Button, N::Caption},
        {"SendNextBtn", R::Button, N::Caption},
        {"StartClientBtn", R::Button, N::Caption},
        {"RemotePrevBtn", R::Button, N::Caption},
        {"RemotePauseBtn", R::Button, N::Caption},
        {"RemoteNextBtn", R::Button, N::Caption},
        {"TargetText", R::EditableText, N::Own, QT_TRANSLATE_NOOP("Mirovell", "Empfänger")},
        {"SendenUniCastCheck", R::RadioButton, N::Caption},
        {"MultiCastCheck", R::RadioButton, N::Caption},
        {"UniCastCheck", R::RadioButton, N::Caption},
        {"MulitCastCheck", R::RadioButton, N::Caption},
        {"TargetTextClient", R::EditableText, N::Own, QT_TRANSLATE_NOOP("Mirovell", "Sender")},
        {"FilmList", R::List, N::Own, QT_TRANSLATE_NOOP("Mirovell", "Playlist")},
        {"FilmRemoteList", R::List, N::Own, QT_TRANSLATE_NOOP("Mirovell", "Playlist des Senders")},
        {"UpBtn", R::Button, N::ToolTip},
        {"DownBtn", R::Button, N::ToolTip},
        {"SaveBtn", R::Button, N::Caption},
        {"Command1", R::Button, N::Caption},
        {"List_Count", R::Button, N::Caption},
        {"Label2", R::Button, N::ToolTip},
        {"VlcPath", R::EditableText, N::Own, QT_TRANSLATE_NOOP("Mirovell", "VLC-Pfad")},
        {"VLC_Browse", R::Button, N::Own, QT_TRANSLATE_NOOP("Mirovell", "VLC suchen")},
        {"Label4", R::Link, N::Caption},
        {"AutoSaveCheck", R::CheckBox, N::Caption},
        {"CheckMinimize", R::CheckBox, N::Caption},
        {"Label3", R::Link, N::Caption},
        {"UpdateCaption", R::Link, N::Caption},
        {"AlwaysOnTop1", R::CheckBox, N::ToolTip},
    };
    // clang-format on
    return table;
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
