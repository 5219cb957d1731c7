// Getting vertices and indices into GL buffers for the pipeline: a vertex array object, two
// append-only stream buffers (vertices and 16-bit indices), a GL copy per vertex source
// (vertex buffer) refreshed only when its contents change, and the attribute pointers of a
// vertex layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>

#include "platform/dx7/ffp/ffp_vertex_layout.h"
#include "platform/dx7/ffp/gl_api.h"
#include "platform/dx7/ffp/gl_state.h"

// One append-only GL buffer: data goes in at increasing offsets without waiting for earlier
// draws that still read it; a full buffer is orphaned (the driver gives it a new store).
struct FfpStreamBuffer {
  // Bytes of one store: appending starts a fresh store when it is full.
  static constexpr std::size_t kBytes = std::size_t{4} << 20;

  GLuint name = 0;
  std::size_t capacity = 0;
  std::size_t offset = 0;
  std::uint64_t generation = 1;  // bumped with every new store

  // Copies bytes in (target's binding is left on this buffer); returns their offset.
  std::size_t append(GLenum target, const void* data, std::size_t bytes, std::size_t alignment);
};

class FfpVertexStreams {
 public:
  // Makes the GL objects (the context must be current); release() deletes them.
  void create();
  void release(GlState& gl);

  GLuint vertexArray() const { return vao_; }
  GLuint streamBuffer() const { return vertexStream_.name; }

  // Binds a GL buffer holding the vertices to GL_ARRAY_BUFFER, uploading only when the source
  // changed (sourceId null: every time, through the stream); sets buffer to it and returns the
  // index of the first vertex in it.
  std::size_t bindVertices(const void* vertices, std::size_t bytes, DWORD stride, const void* sourceId,
                           std::uint64_t version, GLuint& buffer);
  // Appends vertices to the stream buffer; returns their byte offset.
  std::size_t appendVertices(const void* vertices, std::size_t bytes, DWORD stride) {
    return vertexStream_.append(GL_ARRAY_BUFFER, vertices, bytes, stride);
  }
  // Appends 16-bit indices to the index stream (bound to GL_ELEMENT_ARRAY_BUFFER); returns their
  // byte offset.
  std::size_t appendIndices(const WORD* indices, std::size_t count) {
    return indexStream_.append(GL_ELEMENT_ARRAY_BUFFER, indices, count * 2, 4);
  }

  // Points the attributes (of the bound vertex array) at `buffer`, bound to GL_ARRAY_BUFFER,
  // vertex 0 at vertex baseVertex of it (a dialect without base vertices draws indices so);
  // nothing when they already read it so with this layout.
  void setAttributes(GLuint buffer, const FfpVertexLayout& layout, std::size_t baseVertex = 0);
  // Forgets what the attributes read (after GL's state became unknown).
  void forgetAttributes() {
    attributeBuffer_ = 0;
    attributeFvf_ = 0;
    attributeBase_ = 0;
  }

  // Deletes the GL copies of a source.
  void releaseSource(const void* sourceId);

 private:
  struct SourceKey {
    const void* id;
    const void* data;
    bool operator==(const SourceKey& o) const { return id == o.id && data == o.data; }
  };
  struct SourceKeyHash {
    std::size_t operator()(const SourceKey& k) const {
      return std::hash<const void*>()(k.id) * 31u ^ std::hash<const void*>()(k.data);
    }
  };
  struct SourceEntry {
    GLuint buffer = 0;
    std::uint64_t version = 0;
    std::size_t bytes = 0;
    // A source that changed after its first upload streams its new contents through the stream
    // buffer instead (a new buffer store per change costs an allocation in the driver).
    bool dynamic = false;
    std::uint64_t streamGeneration = 0;
    std::size_t streamOffset = 0;
  };

  GLuint vao_ = 0;
  FfpStreamBuffer vertexStream_;
  FfpStreamBuffer indexStream_;
  std::unordered_map<SourceKey, SourceEntry, SourceKeyHash> sources_;
  GLuint attributeBuffer_ = 0;  // the buffer, format and first vertex the attribute pointers read
  DWORD attributeFvf_ = 0;
  std::size_t attributeBase_ = 0;
};
