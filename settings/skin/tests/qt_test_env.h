#pragma once

// Test helpers shared by the skin tests: the application object (created once for the whole
// test program by a GoogleTest environment) and image comparison.

#include <QImage>
#include <QRect>
#include <QWidget>

// The bounding box of the pixels in which `a` and `b` (same size) differ; empty when equal.
QRect DiffBox(const QImage &a, const QImage &b);

// What a widget shows, as opaque RGB.
QImage Shot(QWidget &w);

// Shows `w` as a window and waits until it is exposed.
bool ShowAndWait(QWidget &w);

// Lets the events of a simulated mouse or key action arrive. On the offscreen platform they
// are there at once; on a real X server (QT_QPA_PLATFORM=xcb) QtTest moves the real pointer
// and the server's events come back a little later.
void Settle();
