#pragma once

#include "platform/Control.h"

#include <QAbstractButton>
#include <QAbstractListModel>
#include <QWidget>

// List items of a list control, shown by a view that draws only the visible rows.
class ControlListModel : public QAbstractListModel {
public:
    ControlListModel(Control* c, QObject* parent);
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : c_->count(); }
    QVariant data(const QModelIndex& index, int role) const override;

private:
    Control* c_;
};

// A picture button: its own images for the normal, disabled and pressed looks.
class PictureButton : public QAbstractButton {
public:
    PictureButton(Control* c, QWidget* parent) : QAbstractButton(parent), c_(c) {}

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Control* c_;
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
