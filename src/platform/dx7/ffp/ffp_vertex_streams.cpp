// Vertex and index uploads, and attribute pointers from a vertex layout.
#include "platform/dx7/ffp/ffp_vertex_streams.h"

#include <algorithm>
#include <cstring>

#include "platform/dx7/ffp/ffp_shader_gen.h"

std::size_t FfpStreamBuffer::append(GLenum target, const void* data, std::size_t bytes, std::size_t alignment) {
  glBindBuffer(target, name);
  std::size_t at = (offset + alignment - 1) / alignment * alignment;
  if (capacity == 0 || at + bytes > capacity) {
    capacity = std::max(kBytes, bytes);
    glBufferData(target, static_cast<GLsizeiptr>(capacity), nullptr, GL_STREAM_DRAW);
    ++generation;
    at = 0;
  }
  void* mapped = glMapBufferRange(target, static_cast<GLintptr>(at), static_cast<GLsizeiptr>(bytes),
                                  GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
  if (mapped) {
    std::memcpy(mapped, data, bytes);
    glUnmapBuffer(target);
  } else {
    glBufferSubData(target, static_cast<GLintptr>(at), static_cast<GLsizeiptr>(bytes), data);
  }
  offset = at + bytes;
  return at;
}

void FfpVertexStreams::create() {
  glGenVertexArrays(1, &vao_);
  glGenBuffers(1, &vertexStream_.name);
  glGenBuffers(1, &indexStream_.name);
}

void FfpVertexStreams::release(GlState& gl) {
  for (auto& s : sources_)
    if (s.second.buffer) gl.deleteBuffers(1, &s.second.buffer);
  gl.deleteBuffers(1, &vertexStream_.name);
  gl.deleteBuffers(1, &indexStream_.name);
  gl.deleteVertexArrays(1, &vao_);
  sources_.clear();
  vao_ = 0;
  vertexStream_ = FfpStreamBuffer{};
  indexStream_ = FfpStreamBuffer{};
  forgetAttributes();
}

std::size_t FfpVertexStreams::bindVertices(const void* vertices, std::size_t bytes, DWORD stride, const void* sourceId,
                                           std::uint64_t version, GLuint& buffer) {
  buffer = vertexStream_.name;
  if (!sourceId) return vertexStream_.append(GL_ARRAY_BUFFER, vertices, bytes, stride) / stride;
  SourceEntry& entry = sources_[SourceKey{sourceId, vertices}];
  const bool changed = entry.version != version || entry.bytes != bytes;
  if (!entry.buffer && !entry.dynamic) {
    glGenBuffers(1, &entry.buffer);
    glBindBuffer(GL_ARRAY_BUFFER, entry.buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), vertices, GL_STATIC_DRAW);
  } else if (changed || (entry.dynamic && entry.streamGeneration != vertexStream_.generation)) {
    if (!entry.dynamic) {
      glDeleteBuffers(1, &entry.buffer);
      if (attributeBuffer_ == entry.buffer) attributeBuffer_ = 0;
      entry.buffer = 0;
      entry.dynamic = true;
    }
    entry.streamOffset = vertexStream_.append(GL_ARRAY_BUFFER, vertices, bytes, stride);
    entry.streamGeneration = vertexStream_.generation;
  } else {
    glBindBuffer(GL_ARRAY_BUFFER, entry.dynamic ? vertexStream_.name : entry.buffer);
  }
  entry.version = version;
  entry.bytes = bytes;
  if (!entry.dynamic) buffer = entry.buffer;
  return entry.dynamic ? entry.streamOffset / stride : 0;
}

void FfpVertexStreams::setAttributes(GLuint buffer, const FfpVertexLayout& layout, std::size_t baseVertex) {
  const bool sameArrays = attributeBuffer_ != 0 && attributeBuffer_ == buffer && attributeFvf_ == layout.fvf;
  if (sameArrays && attributeBase_ == baseVertex) return;
  const auto stride = static_cast<GLsizei>(layout.stride);
  const std::size_t base = baseVertex * layout.stride;
  auto at = [base](int offset) {
    return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(base + static_cast<std::size_t>(offset)));
  };
  // A new first vertex moves the pointers; a new buffer or layout sets which arrays are on too.
  if (!sameArrays) {
    for (GLuint i = 0; i < static_cast<GLuint>(kFfpAttribTexCoord0 + 8); ++i) glDisableVertexAttribArray(i);
    glEnableVertexAttribArray(kFfpAttribPosition);
    if (layout.normalOffset >= 0) glEnableVertexAttribArray(kFfpAttribNormal);
    if (layout.diffuseOffset >= 0) glEnableVertexAttribArray(kFfpAttribDiffuse);
    if (layout.specularOffset >= 0) glEnableVertexAttribArray(kFfpAttribSpecular);
    for (int i = 0; i < layout.texCoordCount; ++i)
      glEnableVertexAttribArray(static_cast<GLuint>(kFfpAttribTexCoord0 + i));
  }
  glVertexAttribPointer(kFfpAttribPosition, layout.positionSize, GL_FLOAT, GL_FALSE, stride, at(0));
  if (layout.normalOffset >= 0)
    glVertexAttribPointer(kFfpAttribNormal, 3, GL_FLOAT, GL_FALSE, stride, at(layout.normalOffset));
  if (layout.diffuseOffset >= 0)
    glVertexAttribPointer(kFfpAttribDiffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(layout.diffuseOffset));
  if (layout.specularOffset >= 0)
    glVertexAttribPointer(kFfpAttribSpecular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(layout.specularOffset));
  for (int i = 0; i < layout.texCoordCount; ++i)
    glVertexAttribPointer(static_cast<GLuint>(kFfpAttribTexCoord0 + i), layout.texCoordSize[i], GL_FLOAT, GL_FALSE,
                          stride, at(layout.texCoordOffset[i]));
  attributeBuffer_ = buffer;
  attributeFvf_ = layout.fvf;
  attributeBase_ = baseVertex;
}

void FfpVertexStreams::releaseSource(const void* sourceId) {
  for (auto it = sources_.begin(); it != sources_.end();) {
    if (it->first.id == sourceId) {
      if (it->second.buffer) {
        if (attributeBuffer_ == it->second.buffer) attributeBuffer_ = 0;
        glDeleteBuffers(1, &it->second.buffer);
      }
      it = sources_.erase(it);
    } else {
      ++it;
    }
  }
}
