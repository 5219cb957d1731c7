// OpenGL 3.3 core entry points for the DirectDraw/Direct3D subset (linked directly from the
// GL dispatch library; no loader needed).
#pragma once

#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/glcorearb.h>
