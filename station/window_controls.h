#pragma once
// The station window's client area as a table of controls: each row names the member
// that keeps the control, its text, place (in twips) and font.
class QWidget;

namespace corvel {

class StationWindow;

// Creates the controls into `window`'s members (each named after its member), with their
// fonts, places and tab order, and gives `client` its fixed size. The boxes report their
// focus to `window`'s event filter.
void BuildClientArea(StationWindow& window, QWidget* client);

}  // namespace corvel
