#include "engine/platform/startup_dialog.h"

namespace velmo {

// The mode list and its controls arrive with the port's dialog controls; until then the run
// starts with the display defaults.
bool runStartupDialog(HINSTANCE) { return true; }

} // namespace velmo
