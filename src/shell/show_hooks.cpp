// The program's show: the show timeline.
#include "shell/show_hooks.h"

#include "shell/show_timeline.h"

// The show object itself lives until the process ends (its scenes and music are released
// by shutdown), so it comes from the plain heap and is not in the memory report.
ShowHooks* createShow() { return new ShowTimeline(); }
