// The setup dialog in a browser is the page's own form (index.html); its Start hands the choice to
// webStart. Nothing calls this here: it answers as a desktop without a display would.
#include "platform/dialog.h"

namespace platform {

DialogOutcome runDialog(const DialogLayout&, int*, bool*) { return DialogOutcome::NoDisplay; }

} // namespace platform
