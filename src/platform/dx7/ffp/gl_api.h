// OpenGL entry points for the DirectDraw/Direct3D subset: OpenGL 3.3 core natively (linked
// directly from the GL dispatch library; no loader needed), OpenGL ES 3.0 on the web. The calls
// whose dialects differ are routed through gl_dialect.h.
#pragma once

#if defined(__EMSCRIPTEN__)
#include <GLES3/gl3.h>
#else
#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/glcorearb.h>
#endif

#include "platform/dx7/ffp/gl_dialect.h"
