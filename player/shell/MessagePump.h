#pragma once

namespace lumafolio {

// Dispatches at most one waiting message of any window of this thread, so that windows (the
// progress window among them) stay served during long work on the user-interface thread.
void PumpOneMessage();

}  // namespace lumafolio
