// Reads a 3D file through the asset import library into a converted object in the
// engine's axes: left-handed, y up, front faces clockwise, texture v growing downwards.
#pragma once

#include <memory>
#include <string>

#include "convert_report.h"
#include "converted_object.h"

struct aiNode;
struct aiScene;

namespace convert {

struct ImportOptions {
  float scale = 1.0f;
  // Mirror z: the importer hands every format over right-handed (LightWave objects
  // included), and mirroring z gives the engine's left-handed space.
  bool flipZ = true;
  // The source's up axis, 'y' or 'z'; 0 means y (the importer turns 3DS, Collada and FBX
  // files upright itself).
  char up = 0;
  int layer = 0;        // only this layer (as scene files count, from 1); 0: every layer
  bool merge = false;   // every layer into layer 1
  std::string outDir;   // where pictures are written
  std::string outBase;  // name of the written object without extension
};

struct ImportStats {
  int ngons = 0;         // polygons of more than three corners, triangulated
  int droppedFaces = 0;  // points and lines, which the object file cannot hold
  int layers = 0;
  int groups = 0;
  int vertices = 0;
  int triangles = 0;
  int weightMaps = 0;
};

// False with a message in error when the file cannot be read or holds no triangles.
bool importModel(const std::string& path, const ImportOptions& options, ConvertedObject& out, ImportStats& stats,
                 ConvertReport& report, std::string& error);

// A file's meshes node by node, for turning a whole scene into objects: each node's own
// meshes in the node's own coordinates (a skinned mesh where its skin binds it).
// Pictures are written into options.outDir, embedded ones named after options.outBase.
class NodeMeshes {
 public:
  NodeMeshes(const std::string& path, const ImportOptions& options, ConvertReport& report);
  ~NodeMeshes();
  bool read(std::string& error);
  const aiScene* scene() const;
  // False when the node has no triangles.
  bool nodeObject(const aiNode* node, ConvertedObject& out, ImportStats& stats);

 private:
  struct State;
  std::unique_ptr<State> state;
};

}  // namespace convert
