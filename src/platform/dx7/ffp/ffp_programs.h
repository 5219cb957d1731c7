// The GL programs of the pipeline, one per shader key: generated, compiled, linked and their
// uniforms looked up on first use, then kept until release().
//
// VELLUMITE_FFP_DUMP=DIR: each generated program is written to DIR as HASH.vert and HASH.frag
// (HASH the shader key's hash in hexadecimal), each starting with a comment that holds the
// whole key's bytes, so that a shader can be read and tried by hand.
#pragma once

#include <string>
#include <unordered_map>

#include "platform/dx7/ffp/ffp_shader_key.h"
#include "platform/dx7/ffp/ffp_uniforms.h"

class FfpProgramCache {
 public:
  // The program for key, built when it is new (and then left in use by glUseProgram). A
  // program that fails to build comes back with `failed` set and error saying why, and stays
  // failed for its key.
  FfpProgram& get(const FfpShaderKey& key, std::string& error);
  bool contains(const FfpShaderKey& key) const { return programs_.count(key) != 0; }
  // Programs built so far (failed ones included).
  int compiled() const { return compiled_; }
  // Deletes every program (the context must be current).
  void release();

 private:
  std::unordered_map<FfpShaderKey, FfpProgram, FfpShaderKeyHash> programs_;
  int compiled_ = 0;
};
