#include "gui/ControlWidgets.h"

#include "gui/Artwork.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFont>
#include <QPainter>

ControlListModel::ControlListModel(Control* c, QObject* parent) : QAbstractListModel(parent), c_(c)
{
    connect(c, &Control::itemsInserted, this, [this](int first, int last) {
        // the control already holds the rows; tell the view in one step
        beginInsertRows({}, first, last);
        endInsertRows();
    });
    connect(c, &Control::itemsRemoved, this, [this](int first, int last) {
        beginRemoveRows({}, first, last);
        endRemoveRows();
    });
    connect(c, &Control::itemChanged, this, [this](int i) { emit dataChanged(index(i), index(i)); });
    connect(c, &Control::itemsReset, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

QVariant ControlListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return c_->item(index.row());
    if (role == Qt::FontRole && index.row() == c_->markedIndex()) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role == Qt::AccessibleDescriptionRole && index.row() == c_->markedIndex())
        return QCoreApplication::translate("Mirovell", "läuft gerade");
    return {};
}

void PictureButton::paintEvent(QPaintEvent*)
{
    QString key = c_->picture();
    if (!isEnabled() && !c_->disabledPicture().isEmpty())
        key = c_->disabledPicture();
    else if (isDown() && !c_->pressedPicture().isEmpty())
        key = c_->pressedPicture();
    QPainter p(this);
    p.drawPixmap(0, 0, artwork::picture(key, size(), devicePixelRatioF()));
    if (isDown() && c_->pressedPicture().isEmpty())
        p.fillRect(rect(), QColor(0, 0, 0, 40));
    if (hasFocus()) {
        p.setPen(QPen(QColor(255, 255, 255, 160), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}

void PictureLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, artwork::picture(c_->picture(), size(), devicePixelRatioF()));
}

void ActionLabel::paintEvent(QPaintEvent* e)
{
    QLabel::paintEvent(e);
    if (hasFocus()) {
        QPainter p(this);
        p.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

bool ListBox::event(QEvent* e)
{
    const bool done = QListView::event(e);
    // the frame is painted here, the rows in the viewport inside it
    if (e->type() == QEvent::Paint && hasFocus()) {
        QPainter p(this);
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
    return done;
}

// Qt's view would make the first row current on entering, and the window would take that for a
// selection nobody sees: the keys would then act on it.
void ListBox::focusInEvent(QFocusEvent* e)
{
    QAbstractScrollArea::focusInEvent(e);
    viewport()->update();
}
