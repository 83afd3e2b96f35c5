// Drop-down lists of a page as a user expects them on a desktop: the mouse wheel
// over a list that does not have the keyboard focus scrolls nothing and chooses
// nothing (a list such as the baud rate acts on the phone when its choice changes,
// which only a deliberate choice may do), and an open list shows at most
// kMaxVisibleChoices items at a time with a scroll bar for the rest, rather than a
// column as tall as the screen.
#pragma once

class QComboBox;
class QWidget;

inline constexpr int kMaxVisibleChoices = 12;

// Prepares one list: takes the focus only by a click or Tab, never by the wheel;
// ignores the wheel while it lacks the focus; opens as a scrolled list of at most
// kMaxVisibleChoices items.
void PrepareChoiceList(QComboBox* pList);
// Prepares every drop-down list below pParent.
void PrepareChoiceLists(QWidget* pParent);
