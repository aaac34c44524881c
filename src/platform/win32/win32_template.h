// Dialog templates in the window system's own binary form.
#pragma once

#include "platform/resources.h"

#include <cstdint>
#include <vector>

// The DLGTEMPLATEEX bytes of tmpl for CreateDialogIndirectParamW: hidden (the layer
// shows it after WM_INITDIALOG), every control a visible child in template order. Only
// the first default push button stays one (the window system would draw them all as
// default); *defaultId gets its id, or IDOK when the template has none.
std::vector<std::uint8_t> BuildDialogTemplate(const DlgTemplate& tmpl, int* defaultId);
