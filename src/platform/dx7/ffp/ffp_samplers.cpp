// Sampler objects from texture stage states.
#include "platform/dx7/ffp/ffp_samplers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/dx7/ffp/ffp_enum_translation.h"

GLuint FfpSamplerCache::get(const DWORD* ts, bool magnifiedOnly) {
  const Key key{ts[D3DTSS_ADDRESSU],    ts[D3DTSS_ADDRESSV],    ts[D3DTSS_MAGFILTER],
                ts[D3DTSS_MINFILTER],   ts[D3DTSS_MIPFILTER],   ts[D3DTSS_MIPMAPLODBIAS],
                ts[D3DTSS_BORDERCOLOR], ts[D3DTSS_MAXMIPLEVEL], magnifiedOnly};
  auto found = samplers_.find(key);
  if (found != samplers_.end()) return found->second;
  GLuint s = 0;
  glGenSamplers(1, &s);
  glSamplerParameteri(s, GL_TEXTURE_WRAP_S, ffpAddressMode(ts[D3DTSS_ADDRESSU]));
  glSamplerParameteri(s, GL_TEXTURE_WRAP_T, ffpAddressMode(ts[D3DTSS_ADDRESSV]));
  glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, ffpMagFilter(ts[D3DTSS_MAGFILTER]));
  glSamplerParameteri(
      s, GL_TEXTURE_MIN_FILTER,
      magnifiedOnly ? ffpMagFilter(ts[D3DTSS_MAGFILTER]) : ffpMinFilter(ts[D3DTSS_MINFILTER], ts[D3DTSS_MIPFILTER]));
  float bias = 0.0f;
  std::memcpy(&bias, &ts[D3DTSS_MIPMAPLODBIAS], sizeof(bias));
  if (std::isfinite(bias)) glSamplerParameterf(s, GL_TEXTURE_LOD_BIAS, bias);
  // MAXMIPLEVEL names the most detailed level used.
  glSamplerParameterf(s, GL_TEXTURE_MIN_LOD, static_cast<float>(std::min<DWORD>(ts[D3DTSS_MAXMIPLEVEL], 16)));
  float border[4];
  ffpColourToFloats(ts[D3DTSS_BORDERCOLOR], border);
  glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, border);
  samplers_[key] = s;
  return s;
}

void FfpSamplerCache::release() {
  for (auto& s : samplers_) glDeleteSamplers(1, &s.second);
  samplers_.clear();
}
