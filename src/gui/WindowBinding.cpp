#include "gui/WindowBinding.h"

#include "app/MainWindow.h"
#include "gui/ActingControls.h"
#include "gui/Artwork.h"
#include "gui/ControlWidgets.h"
#include "gui/TimerDriver.h"

#include <QAbstractButton>
#include <QAbstractListModel>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>

namespace {

QColor toQColor(BgrColor c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

QStringList localFiles(const QMimeData* mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths << QDir::toNativeSeparators(url.toLocalFile());
    return paths;
}

int vbButton(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

}  // namespace

WindowBinding::WindowBinding(MainWindow& model, QWidget& frame, QObject* parent)
    : QObject(parent), model_(model), frame_(frame)
{
    for (Control* c : model_.controls()) {
        if (c->kind() == ControlKind::Timer)
            continue;
        QWidget* parentWidget = c->container() ? widgetFor(c->container()) : nullptr;
        QWidget* w = create(c, parentWidget);
        w->setObjectName(c->name());
        widgets_[c] = w;
        controls_[w] = c;
        w->installEventFilter(this);
        w->setAcceptDrops(true);  // every control takes drags, so none falls through to a panel behind it
        if (c->handles(ControlEvent::MouseMove))
            w->setMouseTracking(true);
        syncAll(c);
        connect(c, &Control::changed, this, [this](Control* ctl, Control::Property p) { sync(ctl, int(p)); });
        connect(c, &Control::focusRequested, this, [this, c] {
            if (QWidget* w = widgetFor(c))
                w->setFocus(Qt::OtherFocusReason);
        });
    }
    // the tab and exit pictures overlap their neighbours at the edges; they stay whole on top
    for (Control* c : model_.controls())
        if (c->kind() == ControlKind::PictureButton)
            widgetFor(c)->raise();
    setUpKeyboard();
    timers_ = new TimerDriver(model_.controls(), this);
    frame_.setWindowIcon(QIcon(artwork::picture(QStringLiteral("app"), QSize(64, 64))));
}

// The frame outlives the binding; what was built in it goes.
WindowBinding::~WindowBinding()
{
    frame_.removeEventFilter(this);
    for (const auto& [c, w] : widgets_)
        if (w && w->parentWidget() == &frame_)
            delete w.data();
}

void WindowBinding::start()
{
    timers_->start();
}

QWidget* WindowBinding::widgetFor(const QString& name) const
{
    return widgetFor(model_.control(name));
}

QWidget* WindowBinding::widgetFor(const Control* control) const
{
    const auto it = widgets_.find(control);
    return it == widgets_.end() ? nullptr : it->second.data();
}

Control* WindowBinding::controlOf(QObject* o) const
{
    const auto it = controls_.find(o);
    return it == controls_.end() ? nullptr : it->second;
}

QWidget* WindowBinding::create(Control* c, QWidget* parent)
{
    switch (c->kind()) {
    case ControlKind::Form: frame_.setAttribute(Qt::WA_QuitOnClose); return &frame_;
    case ControlKind::Frame: {
        auto* w = new QFrame(parent);
        w->setFrameShape(QFrame::NoFrame);
        w->setAutoFillBackground(true);
        return w;
    }
    case ControlKind::Label: {
        auto* w = c->handles(ControlEvent::Click) ? new ActionLabel(c, parent) : new QLabel(parent);
        w->setTextFormat(Qt::PlainText);
        w->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (c->font().underline)
            w->setCursor(Qt::PointingHandCursor);
        return w;
    }
    case ControlKind::Button: {
        auto* w = new QPushButton(parent);
        connect(w, &QPushButton::clicked, c, [c] { c->fire(ControlEvent::Click); });
        return w;
    }
    case ControlKind::PictureButton:
    case ControlKind::PinToggle: {
        auto* w = new PictureButton(c, parent);
        connect(w, &QAbstractButton::clicked, c, [c] { c->fire(ControlEvent::Click); });
        return w;
    }
    case ControlKind::Picture: return new PictureLabel(c, parent);
    case ControlKind::TextBox:
    case ControlKind::CheckBox:
    case ControlKind::OptionButton:
    case ControlKind::ComboBox: return createInput(c, parent);
    case ControlKind::ListBox: return createList(c, parent);
    case ControlKind::Timer: break;
    }
    return new QWidget(parent);
}

// The controls that take the user's text, choice or check: the model follows at once.
QWidget* WindowBinding::createInput(Control* c, QWidget* parent)
{
    switch (c->kind()) {
    case ControlKind::TextBox: {
        auto* w = new QLineEdit(parent);
        const auto edited = [this, c](const QString& t) {
            syncing_ = true;
            c->setText(t);
            syncing_ = false;
            c->fire(ControlEvent::Change);
        };
        connect(w, &QLineEdit::textEdited, c, edited);
        // the field's items (the peers found on the LAN) drop down below it; typing still works.
        // Made with the first item: most fields never get one, and each costs a view and a model.
        const auto makeOffers = [c, w, edited] {
            if (w->completer() || c->count() == 0)
                return;
            auto* offers = new QCompleter(new ControlListModel(c, w), w);
            offers->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
            offers->setCaseSensitivity(Qt::CaseInsensitive);
            offers->setCompletionRole(Qt::DisplayRole);  // the items' text, as the list shows it
            w->setCompleter(offers);
            // a pick is told apart from typing: only a picked name stands for the address found with it
            connect(offers, qOverload<const QString&>(&QCompleter::activated), c, [c, edited](const QString& t) {
                c->setListIndex(-1);  // the same name picked again is a pick again
                c->setListIndex(int(c->items().indexOf(t)));
                edited(t);
            });
        };
        connect(c, &Control::itemsInserted, w, makeOffers);
        connect(c, &Control::itemsReset, w, makeOffers);
        makeOffers();
        return w;
    }
    case ControlKind::CheckBox:
    case ControlKind::OptionButton: {
        QAbstractButton* w = c->kind() == ControlKind::CheckBox ? static_cast<QAbstractButton*>(new QCheckBox(parent))
                                                                : new QRadioButton(parent);
        w->setAutoExclusive(false);
        connect(w, &QAbstractButton::clicked, c, [this, c, w](bool) {
            syncing_ = true;
            c->setValue(c->kind() == ControlKind::OptionButton ? 1 : (w->isChecked() ? 1 : 0));
            syncing_ = false;
            sync(c, int(Control::Property::Value));
            c->fire(ControlEvent::Click);
        });
        return w;
    }
    case ControlKind::ComboBox: {
        auto* w = new QComboBox(parent);
        w->setEditable(true);
        w->setModel(new ControlListModel(c, w));
        connect(w, &QComboBox::currentTextChanged, c, [this, c](const QString& t) {
            if (syncing_)
                return;
            syncing_ = true;
            c->setText(t);
            syncing_ = false;
        });
        return w;
    }
    default: return nullptr;
    }
}

QWidget* WindowBinding::createList(Control* c, QWidget* parent)
{
    auto* w = new ListBox(parent);
    w->setUniformItemSizes(true);
    w->setSelectionMode(QAbstractItemView::SingleSelection);
    w->setEditTriggers(QAbstractItemView::NoEditTriggers);
    w->setDragDropMode(QAbstractItemView::DropOnly);
    w->setLayoutMode(QListView::Batched);
    // rows are all one height and cheap to place: each batch costs a round of scroll-bar and
    // geometry updates, so few large batches (the first covers what a window shows)
    w->setBatchSize(4096);
    w->setModel(new ControlListModel(c, w));
    connect(w->selectionModel(), &QItemSelectionModel::currentRowChanged, c, [this, c](const QModelIndex& current) {
        if (syncing_)
            return;
        syncing_ = true;
        c->setListIndex(current.isValid() ? current.row() : -1);
        syncing_ = false;
        c->fire(ControlEvent::Click);
    });
    connect(w, &QListView::doubleClicked, c, [c](const QModelIndex&) { c->fire(ControlEvent::DblClick); });
    w->viewport()->installEventFilter(this);
    controls_[w->viewport()] = c;
    return w;
}

// Only the acting controls take the keyboard focus, in the window's order; pictures and labels
// that act take it from Tab alone, so a click leaves no focus frame on them.
void WindowBinding::setUpKeyboard()
{
    installActingAccessibility();
    for (const auto& [c, w] : widgets_)
        if (w)
            w->setFocusPolicy(Qt::NoFocus);
    QWidget* previous = nullptr;
    for (const ActingControl& a : actingControls()) {
        const Control* c = model_.control(QString::fromLatin1(a.control));
        QWidget* w = widgetFor(c);
        if (!w)
            continue;
        const bool picture = qobject_cast<PictureButton*>(w) || qobject_cast<ActionLabel*>(w);
        w->setFocusPolicy(picture ? Qt::TabFocus : Qt::StrongFocus);
        w->setProperty("accessibleRole", int(a.role));
        if (a.nameFrom == ActingControl::Name::Own)
            w->setAccessibleName(QCoreApplication::translate("Mirovell", a.name));
        else if (a.nameFrom == ActingControl::Name::ToolTip)
            w->setAccessibleName(c->toolTip());
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

// Enter works the focused button like Space; Enter and Space work an acting label; a list hands
// the keys its own navigation leaves alone to its procedure. True when the key is taken.
bool WindowBinding::key(Control* c, QWidget* watched, QKeyEvent* e)
{
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if (auto* label = qobject_cast<ActionLabel*>(watched)) {
        if ((enter || e->key() == Qt::Key_Space) && !e->isAutoRepeat())
            label->activate();
        return enter || e->key() == Qt::Key_Space;
    }
    if (auto* b = qobject_cast<QAbstractButton*>(watched);
        b && enter && c->kind() != ControlKind::CheckBox && c->kind() != ControlKind::OptionButton) {
        if (!e->isAutoRepeat())
            b->click();
        return true;
    }
    if (!qobject_cast<QListView*>(watched) || !c->handles(ControlEvent::KeyDown))
        return false;
    EventArgs args;
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    args.shift = (mods & Qt::ShiftModifier ? kShiftMask : 0) | (mods & Qt::ControlModifier ? kCtrlMask : 0) |
                 (mods & Qt::AltModifier ? kAltMask : 0);
    if (enter)
        args.keyCode = kKeyReturn;
    else if (e->key() == Qt::Key_Delete)
        args.keyCode = kKeyDelete;
    else if (e->key() == Qt::Key_Up && args.shift == kAltMask)
        args.keyCode = kKeyUp;
    else if (e->key() == Qt::Key_Down && args.shift == kAltMask)
        args.keyCode = kKeyDown;
    else
        return false;
    c->fire(ControlEvent::KeyDown, args);
    return true;
}

// Place first and showing last: a widget shown before it has a place measures its contents to
// size itself, which costs a text layout per button for a size that is then replaced.
void WindowBinding::syncAll(Control* c)
{
    using P = Control::Property;
    for (P p : {P::Colors, P::Geometry, P::Text, P::Font, P::Value, P::ToolTip, P::Enabled, P::Picture, P::Selection,
                P::ListIndex, P::Visible})
        sync(c, int(p));
}

void WindowBinding::sync(Control* c, int property)
{
    QWidget* w = widgetFor(c);
    if (!w || syncing_)
        return;
    const bool isForm = c->kind() == ControlKind::Form;
    switch (Control::Property(property)) {
    case Control::Property::Visible:
        if (!isForm)
            w->setVisible(c->visible());
        break;
    case Control::Property::Enabled:
        w->setEnabled(c->enabled());
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            b->update();
        break;
    case Control::Property::Text: syncText(c, w); break;
    case Control::Property::Value:
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (b->isCheckable() || qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))
                b->setChecked(c->value() != 0);
            b->update();
        }
        break;
    case Control::Property::ToolTip: w->setToolTip(c->toolTip()); break;
    case Control::Property::Geometry: syncGeometry(c, w); break;
    case Control::Property::Colors: syncColors(c, w); break;
    case Control::Property::Font: syncFont(c, w); break;
    case Control::Property::Picture: w->update(); break;
    case Control::Property::Selection:
        if (auto* e = qobject_cast<QLineEdit*>(w))
            e->setSelection(c->selStart(), c->selLength());
        break;
    case Control::Property::ListIndex:
        if (auto* v = qobject_cast<QListView*>(w)) {
            syncing_ = true;
            const int i = c->listIndex();
            if (i < 0)
                v->selectionModel()->clear();
            else
                v->selectionModel()->setCurrentIndex(v->model()->index(i, 0), QItemSelectionModel::ClearAndSelect);
            syncing_ = false;
        }
        break;
    }
}

void WindowBinding::syncText(Control* c, QWidget* w)
{
    if (c->kind() == ControlKind::Form) {
        w->setWindowTitle(c->text());
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        QString t = c->text();
        t.replace(u'\r', u'\n');
        l->setText(t);
        syncGeometry(c, w);
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (e->text() != c->text())
            e->setText(c->text());
    } else if (auto* cb = qobject_cast<QComboBox*>(w)) {
        syncing_ = true;
        cb->setEditText(c->text());
        syncing_ = false;
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        b->setText(c->text());
    }
}

void WindowBinding::syncGeometry(Control* c, QWidget* w)
{
    const TwipRect& r = c->rect();
    if (c->kind() == ControlKind::Form) {
        const QSize want(toPixels(r.width), toPixels(r.height));
        if (w->size() != want)
            w->resize(want);
        return;
    }
    QRect g(toPixels(r.left), toPixels(r.top), qMax(0, toPixels(r.width)), qMax(0, toPixels(r.height)));
    // a label keeps its place but grows to show a text longer than its design, as far as its
    // panel reaches (a sender's address below "Sender:", say)
    if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().isEmpty() && l->parentWidget()) {
        const QSize need = l->sizeHint();
        const QSize room = l->parentWidget()->size() - QSize(g.left(), g.top());
        g.setWidth(qMax(g.width(), qMin(need.width(), room.width())));
        g.setHeight(qMax(g.height(), qMin(need.height(), room.height())));
    }
    w->setGeometry(g);
}

void WindowBinding::syncColors(Control* c, QWidget* w)
{
    QPalette pal = w->palette();
    if (c->backColor() >= 0) {
        const QColor bg = toQColor(c->backColor());
        pal.setColor(QPalette::Window, bg);
        pal.setColor(QPalette::Base, bg);
        pal.setColor(QPalette::Button, bg);
        w->setAutoFillBackground(c->kind() != ControlKind::Label && c->kind() != ControlKind::CheckBox);
    }
    if (c->foreColor() >= 0) {
        const QColor fg = toQColor(c->foreColor());
        pal.setColor(QPalette::WindowText, fg);
        pal.setColor(QPalette::Text, fg);
        pal.setColor(QPalette::ButtonText, fg);
    } else if (c->foreColor() == kSystemWindowText) {
        const QPalette sys = w->style()->standardPalette();
        pal.setColor(QPalette::WindowText, sys.color(QPalette::WindowText));
        pal.setColor(QPalette::Text, sys.color(QPalette::Text));
    }
    w->setPalette(pal);
}

void WindowBinding::syncFont(Control* c, QWidget* w)
{
    QFont f = w->font();
    f.setPointSizeF(c->font().pointSize);
    f.setBold(c->font().bold);
    f.setUnderline(c->font().underline);
    w->setFont(f);
    if (auto* l = qobject_cast<QLabel*>(w))
        l->setAlignment((c->align() == TextAlign::Center ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
    if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setAlignment(c->align() == TextAlign::Center ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
}

bool WindowBinding::eventFilter(QObject* watched, QEvent* event)
{
    // the frame's close box runs the shut-down
    if (watched == &frame_ && event->type() == QEvent::Close && !model_.hasEnded())
        model_.Form_QueryUnload();
    Control* c = controlOf(watched);
    if (!c)
        return QObject::eventFilter(watched, event);
    const bool own = watched == widgetFor(c);  // not a list's viewport
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: drop(c, static_cast<QDropEvent*>(event)); return true;
    case QEvent::MouseButtonPress:
        if (press(c, static_cast<QWidget*>(watched), static_cast<QMouseEvent*>(event)))
            return true;
        break;
    case QEvent::KeyPress:
        // Down in a field with items drops them down
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down && offer(c, static_cast<QWidget*>(watched)))
            return true;
        if (own && key(c, static_cast<QWidget*>(watched), static_cast<QKeyEvent*>(event)))
            return true;
        break;
    case QEvent::MouseMove:
    case QEvent::Enter:
        if (own && c->handles(ControlEvent::MouseMove))
            c->fire(ControlEvent::MouseMove);
        break;
    case QEvent::MouseButtonDblClick:
        if (qobject_cast<QLabel*>(watched))
            c->fire(ControlEvent::DblClick);
        break;
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        // the field's own drop-down taking the keys is no change of focus
        if (own && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
            c->fire(event->type() == QEvent::FocusIn ? ControlEvent::GotFocus : ControlEvent::LostFocus);
            if (event->type() == QEvent::FocusIn)
                offer(c, static_cast<QWidget*>(watched));
        }
        break;
    case QEvent::Resize:
        if (c->kind() == ControlKind::Form && !syncing_) {
            const QSize s = static_cast<QWidget*>(watched)->size();
            syncing_ = true;
            c->setRect({c->rect().left, c->rect().top, toTwips(s.width()), toTwips(s.height())});
            syncing_ = false;
            c->fire(ControlEvent::Resize);
        }
        break;
    default: break;
    }
    return QObject::eventFilter(watched, event);
}

// A field with items shows them below itself, once the event that asked has returned.
bool WindowBinding::offer(Control* c, QWidget* w)
{
    auto* e = qobject_cast<QLineEdit*>(w);
    if (!e || !e->completer() || c->count() == 0 || !e->isEnabled() || e->completer()->popup()->isVisible())
        return false;
    QTimer::singleShot(0, e, [e] {
        if (e->hasFocus() && e->completer())
            e->completer()->complete();
    });
    return true;
}

// Every control takes the drag, so none falls through to a panel behind it; only those with a
// drop handler, enabled, take local files.
void WindowBinding::drop(Control* c, QDropEvent* e)
{
    const QStringList paths = localFiles(e->mimeData());
    const bool target = c->handles(ControlEvent::Drop) && c->enabled() && !paths.isEmpty();
    e->setDropAction(target ? Qt::CopyAction : Qt::IgnoreAction);
    e->accept();
    if (target && e->type() == QEvent::Drop) {
        EventArgs args;
        args.paths = paths;
        c->fire(ControlEvent::Drop, args);
    }
}

// true when the press is taken
bool WindowBinding::press(Control* c, QWidget* watched, QMouseEvent* e)
{
    EventArgs args;
    args.button = vbButton(e->button());
    if (!c->enabled()) {
        // a disabled control passes the press to what it lies on
        for (Control* under = c->container(); under; under = under->container()) {
            if (under->enabled() && under->handles(ControlEvent::MouseDown)) {
                under->fire(ControlEvent::MouseDown, args);
                break;
            }
        }
        return true;
    }
    // a press a child passed up is the child's
    if (QWidget* hit = watched->childAt(e->position().toPoint())) {
        while (hit->parentWidget() && hit->parentWidget() != watched)
            hit = hit->parentWidget();
        const Control* under = controlOf(hit);
        if (under && under != c && under->enabled())
            return false;
    }
    if (c->handles(ControlEvent::MouseDown))
        c->fire(ControlEvent::MouseDown, args);
    const ControlKind k = c->kind();
    if ((qobject_cast<QLabel*>(watched) || k == ControlKind::Picture || k == ControlKind::Frame ||
         k == ControlKind::Form) &&
        e->button() == Qt::LeftButton)
        c->fire(ControlEvent::Click);
    return false;
}
