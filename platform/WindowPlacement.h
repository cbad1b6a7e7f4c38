#pragma once
// Where a dialog opens: its stored, possibly hand-edited size fitted to the work area of its
// screen and centred there, so no setting can push a button off the screen.
#include <QSize>
#include <vector>

#include "settings/WindowGeometry.h"

class QWidget;

// The screens' work areas, the one `near` is on (else the primary screen's) first.
std::vector<korvel::WindowRect> screenWorkAreas(const QWidget* near = nullptr);

// Gives dialog the stored size, fitted to its owner's screen (a side under 100 takes fallback's,
// none smaller than the dialog's layout needs), and centres it there.
void placeDialog(QWidget& dialog, QSize stored, QSize fallback);
