// The inspector's scene report: items with their links and evaluated motions at the
// requested times, lights as the render pass describes them, meshes and materials.
#pragma once

#include <vector>

class Scene;
class JsonWriter;

void writeSceneReport(Scene& scene, const char* path, const std::vector<float>& times, JsonWriter& json);
