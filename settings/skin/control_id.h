#pragma once

// Controls keep the numeric ids of the dialog templates; they are found by them.

class QWidget;

void SetControlId(QWidget *control, int id);
int ControlId(const QWidget *control); // -1 when the widget has none
QWidget *FindControl(const QWidget *parent, int id);
