// A source file as an engine library would hold one, with one of the platform's libraries
// included (VELLUMITE_PROBE names which): the layer tests compile it and expect that to fail.
#include "scene/scene.h"
#include "shell/show_timeline.h"

#if defined(VELLUMITE_PROBE_SDL)
#include <SDL.h>
#elif defined(VELLUMITE_PROBE_SDL2_FOLDER)
#include <SDL2/SDL.h>
#elif defined(VELLUMITE_PROBE_FFMPEG)
#include <libavcodec/avcodec.h>
#elif defined(VELLUMITE_PROBE_GL)
#include <GL/gl.h>
#elif defined(VELLUMITE_PROBE_OPENMPT)
#include <libopenmpt/libopenmpt.h>
#endif

int engineProbe() { return kShowSceneCount; }
