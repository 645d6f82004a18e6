#pragma once
// The sound system's own complaints (no sound card, no default device) go
// to the trace log instead of standard error: a machine without sound plays
// silently and says so in one trace line.

void KRouteAlsaErrorsToTrace();
