#pragma once

class QWidget;

namespace raid::ui {

// Gives every control below `root` that a screen reader can reach the name
// and the description it reads out, found by the control's objectName.
// Controls whose name the table does not know keep what Qt derives from
// their text.
void NameControls(QWidget* root);

}  // namespace raid::ui
