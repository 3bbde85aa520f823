#include "host/dialog/dialog_button.h"

#include "host/controls/property_bag.h"

namespace pellarin {

void setUpDialogButton(ccXPButton& button, const char* caption, const dialog_layout::TwipRect& at,
                       const FontSpec& font) {
  button.setSizeTwips(at.width, at.height);
  PropertyBag properties;
  properties.writeString("Caption", caption);
  properties.writeString("Font.Name", font.family);
  properties.writeDouble("Font.Size", font.sizePoints);
  properties.writeInt("Font.Charset", font.charset);
  button.loadProperties(properties);
}

}  // namespace pellarin
