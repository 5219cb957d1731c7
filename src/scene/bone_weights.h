// Bone rest matrices and the vertex weights that tie an object's meshes to its bones,
// computed once after a scene file is loaded.
#pragma once

#include <cstdint>

class SceneBone;
class SceneObject;
struct WeightEntry;

// The rest matrix of the bone's motion for scene file sceneIndex, from the property copy
// filed with that motion. Does nothing when the bone has no motion for that file.
void computeBoneRest(SceneBone* bone, std::int32_t sceneIndex);

// Links every active bone of the object's scene that belongs to the object, computes one
// normalised weight per bone, group and vertex, and keeps a copy of the undeformed
// vertices. An object without such bones stays rigid (no links, no rest vertices).
void computeVertexWeights(SceneObject* object);

// The first weight map of group `group` named exactly `name`, or null.
WeightEntry* findWeightMap(SceneObject* object, const char* name, int group);
