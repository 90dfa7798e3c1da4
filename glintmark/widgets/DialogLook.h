#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

class QWidget;

// Glintmark's light-blue dialog look, shared by the main window, the library editor, its name
// prompt and the font chooser: a light-blue background behind the dialog and its static texts
// and frames, and bold Arial for frame titles and labels. The look brings every colour its
// dialogs draw with, in each state: dark texts on the light blue, and light edit boxes, lists and
// buttons with dark texts of their own, so that a dark desktop never puts its light texts on
// the light blue, nor its dark fields behind the look's dark texts. Whichever control has the
// keyboard focus shows a dark ring that any style's own focus mark may add to.
namespace DialogLook {

// Red 153, green 204, blue 255.
inline constexpr QRgb kBackground = 0xFF99CCFF;
// Dark navy: at least 9:1 against the light blue, the fields and the picture buttons' faces.
inline constexpr QRgb kFocusRing = 0xFF00214D;
inline constexpr int kFocusRingWidth = 2;
inline constexpr int kLabelPixelSize = 14;
inline constexpr char kLabelFace[] = "Arial";

QColor background();
QColor focusRingColor();
QFont labelFont();
// Every role in the active, inactive and disabled groups.
QPalette palette();

// Gives the dialog the look's palette, paints its background, and rings its focused control.
void apply(QWidget *dialog);

// Gives a label or a frame's title the bold Arial. A frame's font would otherwise pass on to
// its contents, so the widgets already inside a frame keep the font they had.
void setLabelFont(QWidget *labelOrFrame);

} // namespace DialogLook
