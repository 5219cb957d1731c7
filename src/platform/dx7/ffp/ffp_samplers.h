// GL sampler objects made from a stage's texture states, one per distinct set of them.
#pragma once

#include <map>
#include <tuple>

#include "platform/dx7/d3d_types.h"
#include "platform/dx7/ffp/gl_api.h"

class FfpSamplerCache {
 public:
  // The sampler for a stage's states (ts indexed by D3DTSS_*). One for a draw that only
  // magnifies its texture filters with the magnification filter alone: GL would never minify
  // there, and no level of detail need be worked out.
  GLuint get(const DWORD* ts, bool magnifiedOnly);
  // Deletes every sampler (the context must be current).
  void release();

 private:
  // The stage states a sampler is made from, and whether it serves a draw that only magnifies.
  using Key = std::tuple<DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, bool>;
  std::map<Key, GLuint> samplers_;
};
