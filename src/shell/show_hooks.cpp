// The program's show: empty until the show timeline fills the fixed points.
#include "shell/show_hooks.h"

// The show object itself lives until the process ends (its scenes and music are released
// by shutdown), so it comes from the plain heap and is not in the memory report.
ShowHooks* createShow() { return new ShowHooks(); }
