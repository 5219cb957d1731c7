// Building the generated programs, and writing them out for reading by hand.
#include "platform/dx7/ffp/ffp_programs.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/dx7/ffp/ffp_shader_gen.h"

namespace {

void dumpShaders(const FfpShaderKey& key, const std::string& vertex, const std::string& fragment) {
  static const char* const dir = std::getenv("VELLUMITE_FFP_DUMP");
  if (dir == nullptr || *dir == '\0') return;
  std::string bytes;
  const auto* raw = reinterpret_cast<const unsigned char*>(&key);
  for (std::size_t i = 0; i < sizeof key; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", raw[i]);
    bytes += hex;
  }
  char name[32];
  std::snprintf(name, sizeof name, "%016zx", key.hash());
  for (const auto& [extension, text] : {std::pair{".vert", &vertex}, std::pair{".frag", &fragment}}) {
    const std::string path = std::string(dir) + "/" + name + extension;
    if (std::FILE* f = std::fopen(path.c_str(), "w")) {
      std::fprintf(f, "// shader key %s\n%s", bytes.c_str(), text->c_str());
      std::fclose(f);
    }
  }
}

// A compiled shader, or 0 with error set.
GLuint compileShader(GLenum stage, const std::string& source, std::string& error) {
  GLuint shader = glCreateShader(stage);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[1024] = {0};
    glGetShaderInfoLog(shader, sizeof(log) - 1, nullptr, log);
    error = std::string(stage == GL_VERTEX_SHADER ? "vertex shader: " : "fragment shader: ") + log;
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

// The linked program of two shaders (deleted either way), or 0 with error set.
GLuint linkProgram(GLuint vs, GLuint fs, std::string& error) {
  GLuint prog = glCreateProgram();
  glAttachShader(prog, vs);
  glAttachShader(prog, fs);
  glLinkProgram(prog);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = GL_FALSE;
  glGetProgramiv(prog, GL_LINK_STATUS, &ok);
  if (!ok) {
    char log[1024] = {0};
    glGetProgramInfoLog(prog, sizeof(log) - 1, nullptr, log);
    error = std::string("link: ") + log;
    glDeleteProgram(prog);
    return 0;
  }
  return prog;
}

}  // namespace

FfpProgram& FfpProgramCache::get(const FfpShaderKey& key, std::string& error) {
  auto found = programs_.find(key);
  if (found != programs_.end()) return found->second;
  FfpProgram& entry = programs_[key];
  ++compiled_;
  const std::string vertexSource = ffpVertexShaderSource(key);
  const std::string fragmentSource = ffpFragmentShaderSource(key);
  dumpShaders(key, vertexSource, fragmentSource);
  const GLuint vs = compileShader(GL_VERTEX_SHADER, vertexSource, error);
  const GLuint fs = vs ? compileShader(GL_FRAGMENT_SHADER, fragmentSource, error) : 0;
  if (!vs || !fs) {
    if (vs) glDeleteShader(vs);
    entry.failed = true;
    return entry;
  }
  const GLuint prog = linkProgram(vs, fs, error);
  if (!prog) {
    entry.failed = true;
    return entry;
  }
  glUseProgram(prog);
  entry.bindUniforms(prog);
  return entry;
}

void FfpProgramCache::release() {
  for (auto& p : programs_)
    if (p.second.program) glDeleteProgram(p.second.program);
  programs_.clear();
}
