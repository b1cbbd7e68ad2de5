// The elevation hint told to screen readers as the box's description and help, through Dynamic
// Annotation: the system's own objects for the box and its edit field stay (their name "Open"
// from the label, their value, UI Automation's combo box), with the hint added. COM and oleacc load
// when a screen reader first asks for either object, never while the launcher starts.
#pragma once

#include <windows.h>

namespace quillgate {

// Watches the edit field inside `box` for its first WM_GETOBJECT; the box's own procedure hands
// its messages to BoxDescriptionMessage.
void DescribeBoxOnRequest(HWND box);
// WM_GETOBJECT annotates the box and its edit field, once; WM_DESTROY takes the annotations away.
void BoxDescriptionMessage(HWND box, UINT message);

}  // namespace quillgate
