// The bar's place against the monitors there are now.
#pragma once

namespace oruvel {

// Moves the bar into the nearest monitor's work area when no monitor shows a grabbable piece of
// it (PlaceBar); leaves it where it is otherwise.
void KeepBarOnScreen();

// The monitors or the work area changed: the bar is kept on screen.
void DisplaysChanged();

}  // namespace oruvel
