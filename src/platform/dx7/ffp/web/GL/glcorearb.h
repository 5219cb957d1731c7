// The web build has no desktop GL header: a source that asks for it gets the back end's own
// GL entry points (OpenGL ES 3.0 with the desktop names gl_dialect.h adds).
#pragma once
#include "platform/dx7/ffp/gl_api.h"
