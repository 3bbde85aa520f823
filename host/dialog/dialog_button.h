#pragma once
// A button of the settings dialog as every view sets it up: its size in twips, its caption and
// the dialog's font, through the control's own properties.

#include "host/controls/cc_xp_button.h"
#include "host/controls/text_painter.h"
#include "host/dialog/dialog_layout.h"

namespace pellarin {

void setUpDialogButton(ccXPButton& button, const char* caption, const dialog_layout::TwipRect& at,
                       const FontSpec& font);

}  // namespace pellarin
