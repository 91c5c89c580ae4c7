#pragma once

#include "model/Control.h"

#include <QAbstractButton>
#include <QAbstractListModel>
#include <QLabel>
#include <QListView>
#include <QWidget>

// List items of a list control, shown by a view that draws only the visible rows.
class ControlListModel : public QAbstractListModel {
public:
    ControlListModel(Control* c, QObject* parent);
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : c_->count(); }
    // the view's layout asks for every row's index: without the two virtual calls of hasIndex
    QModelIndex index(int row, int column = 0, const QModelIndex& parent = {}) const override
    {
        return column == 0 && !parent.isValid() && row >= 0 && row < c_->count() ? createIndex(row, 0) : QModelIndex();
    }
    QVariant data(const QModelIndex& index, int role) const override;

private:
    Control* c_;
};

// A picture button: its own images for the normal, disabled and pressed looks.
class PictureButton : public QAbstractButton {
    Q_OBJECT
public:
    PictureButton(Control* c, QWidget* parent) : QAbstractButton(parent), c_(c) {}
    const Control* control() const { return c_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Control* c_;
};

// A label that acts as a button (a link, the count that opens the list): it takes the keyboard
// focus and shows it.
class ActionLabel : public QLabel {
    Q_OBJECT
public:
    ActionLabel(Control* c, QWidget* parent) : QLabel(parent), c_(c) {}
    void activate() { c_->fire(ControlEvent::Click); }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    Control* c_;
};

// A list box whose frame shows the keyboard focus even while it has no rows.
class ListBox : public QListView {
public:
    using QListView::QListView;

protected:
    bool event(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
};

// A picture that does nothing but show itself.
class PictureLabel : public QWidget {
public:
    PictureLabel(Control* c, QWidget* parent) : QWidget(parent), c_(c) {}

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Control* c_;
};
