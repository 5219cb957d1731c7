// Texture placement for the converter: copies, embedded pictures and PNG to JPEG.
#include "texture_files.h"

#include <assimp/scene.h>
#include <png.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "port/decoded_picture.h"
#include "writers/byte_writer.h"
#include "writers/jpeg_writer.h"

namespace convert {
namespace {

namespace fs = std::filesystem;

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string extensionOf(const std::string& name) {
  std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? "" : lower(name.substr(dot + 1));
}

std::string stem(const std::string& name) {
  std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

bool readableByProgram(const std::string& extension) {
  return extension == "jpg" || extension == "bmp" || extension == "tga" || extension == "pcx";
}

bool writeBytes(const std::string& path, const void* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

// RGBA pixels to "<name>.jpg"; when any pixel is not opaque the alpha channel is kept
// for "<name>_alpha.jpg", grey as the program reads alpha pictures: black opaque, white clear.
PlacedTexture writeRgba(const std::vector<unsigned char>& rgba, int width, int height, const std::string& name,
                        TextureContext& context) {
  PlacedTexture placed;
  std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
  auto alpha = std::make_shared<AlphaPicture>();
  alpha->grey.resize(static_cast<std::size_t>(width) * height);
  bool translucent = false;
  for (std::size_t i = 0; i < alpha->grey.size(); ++i) {
    for (int c = 0; c < 3; ++c) rgb[3 * i + c] = rgba[4 * i + c];
    alpha->grey[i] = static_cast<unsigned char>(255 - rgba[4 * i + 3]);
    translucent = translucent || alpha->grey[i] != 0;
  }
  const std::string colourName = name + ".jpg";
  if (!writeJpegFile((fs::path(context.outDir) / colourName).string(), rgb.data(), width, height, 3)) {
    context.report->note("cannot write the picture " + colourName);
    return placed;
  }
  placed.name = colourName;
  if (translucent) {
    alpha->name = name + "_alpha.jpg";
    alpha->width = width;
    alpha->height = height;
    placed.alpha = std::move(alpha);
  }
  return placed;
}

bool decodePng(const void* data, std::size_t size, std::vector<unsigned char>& rgba, int& width, int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return false;
  image.format = PNG_FORMAT_RGBA;
  rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
    png_image_free(&image);
    return false;
  }
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return true;
}

// A picture the program reads (JPEG, BMP, TGA, PCX), decoded by the program's own loader.
bool decodeFile(const fs::path& path, std::vector<unsigned char>& rgba, int& width, int& height) {
  const DecodedPicture picture(path.string().c_str());
  if (!picture) return false;
  width = picture.width();
  height = picture.height();
  rgba.resize(static_cast<std::size_t>(width) * height * 4);
  const unsigned char* bgr = picture.bgr();
  for (std::size_t i = 0; i < rgba.size() / 4; ++i) {
    rgba[4 * i] = bgr[3 * i + 2];
    rgba[4 * i + 1] = bgr[3 * i + 1];
    rgba[4 * i + 2] = bgr[3 * i];
    rgba[4 * i + 3] = 255;
  }
  return true;
}

PlacedTexture placeEmbedded(const aiTexture* texture, const std::string& name, TextureContext& context) {
  PlacedTexture placed;
  if (texture->mHeight == 0) {  // a compressed file held in memory
    std::string hint = lower(texture->achFormatHint);
    if (hint == "jpeg") hint = "jpg";
    if (readableByProgram(hint)) {
      const std::string fileName = name + "." + hint;
      if (writeBytes((fs::path(context.outDir) / fileName).string(), texture->pcData, texture->mWidth))
        placed.name = fileName;
      else
        context.report->note("cannot write the picture " + fileName);
      return placed;
    }
    std::vector<unsigned char> rgba;
    int width = 0;
    int height = 0;
    if (hint == "png" && decodePng(texture->pcData, texture->mWidth, rgba, width, height))
      return writeRgba(rgba, width, height, name, context);
    context.report->note("an embedded picture of type '" + hint + "' is not carried");
    return placed;
  }
  std::vector<unsigned char> rgba(static_cast<std::size_t>(texture->mWidth) * texture->mHeight * 4);
  for (std::size_t i = 0; i < rgba.size() / 4; ++i) {
    const aiTexel& t = texture->pcData[i];
    rgba[4 * i] = t.r;
    rgba[4 * i + 1] = t.g;
    rgba[4 * i + 2] = t.b;
    rgba[4 * i + 3] = t.a;
  }
  return writeRgba(rgba, static_cast<int>(texture->mWidth), static_cast<int>(texture->mHeight), name, context);
}

// The texture file: the path as given, from the source's folder, or its file name there.
fs::path findSourceFile(const std::string& path, const std::string& sourceDir) {
  std::string clean = path;
  std::replace(clean.begin(), clean.end(), '\\', '/');
  std::error_code ec;
  for (const fs::path& candidate :
       {fs::path(clean), fs::path(sourceDir) / clean, fs::path(sourceDir) / fs::path(clean).filename()}) {
    if (fs::is_regular_file(candidate, ec)) return candidate;
  }
  return {};
}

// The source picture's pixels as RGBA, wherever it is: embedded, a PNG or a picture the
// program reads. False when it cannot be found or decoded.
bool sourcePixels(const aiScene* scene, const std::string& sourcePath, const TextureContext& context,
                  std::vector<unsigned char>& rgba, int& width, int& height) {
  if (const aiTexture* embedded = scene->GetEmbeddedTexture(sourcePath.c_str())) {
    if (embedded->mHeight != 0) {
      width = static_cast<int>(embedded->mWidth);
      height = static_cast<int>(embedded->mHeight);
      rgba.resize(static_cast<std::size_t>(width) * height * 4);
      for (std::size_t i = 0; i < rgba.size() / 4; ++i) {
        const aiTexel& t = embedded->pcData[i];
        rgba[4 * i] = t.r;
        rgba[4 * i + 1] = t.g;
        rgba[4 * i + 2] = t.b;
        rgba[4 * i + 3] = t.a;
      }
      return true;
    }
    std::string hint = lower(embedded->achFormatHint);
    if (hint == "png") return decodePng(embedded->pcData, embedded->mWidth, rgba, width, height);
    if (hint != "jpg" && hint != "jpeg") return false;
    // The picture decoder reads files: the embedded JPEG goes through a scratch file.
    const fs::path scratch = fs::path(context.outDir) / (context.outBase + "_scratch.jpg");
    if (!writeBytes(scratch.string(), embedded->pcData, embedded->mWidth)) return false;
    const bool decoded = decodeFile(scratch, rgba, width, height);
    std::error_code ec;
    fs::remove(scratch, ec);
    return decoded;
  }
  const fs::path source = findSourceFile(sourcePath, context.sourceDir);
  if (source.empty()) return false;
  if (extensionOf(source.filename().string()) == "png") {
    std::ifstream in(source, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return decodePng(bytes.data(), bytes.size(), rgba, width, height);
  }
  return decodeFile(source, rgba, width, height);
}

}  // namespace

std::string useAlpha(const PlacedTexture& placed, TextureContext& context) {
  if (!placed.alpha) return "";
  const AlphaPicture& a = *placed.alpha;
  if (context.written.count(a.name) != 0) return a.name;
  if (!writeJpegFile((fs::path(context.outDir) / a.name).string(), a.grey.data(), a.width, a.height, 1)) {
    context.report->note("cannot write the picture " + a.name);
    return "";
  }
  context.written.insert(a.name);
  return a.name;
}

PlacedTexture placeRedChannel(const aiScene* scene, const std::string& sourcePath, TextureContext& context) {
  PlacedTexture placed;
  std::string base = context.outBase + "_";
  if (!sourcePath.empty() && sourcePath[0] == '*')
    base += sourcePath.substr(1);
  else
    base = stem(textureToken(sourcePath));
  const std::string name = textureToken(base + "_occlusion.jpg");
  if (context.written.count(name) != 0) {
    placed.name = name;
    return placed;
  }
  std::vector<unsigned char> rgba;
  int width = 0;
  int height = 0;
  if (!sourcePixels(scene, sourcePath, context, rgba, width, height)) {
    context.report->note("the picture " + sourcePath + " cannot be read; its occlusion is not carried");
    return placed;
  }
  std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
  for (std::size_t i = 0; i < rgb.size() / 3; ++i) rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = rgba[4 * i];
  if (!writeJpegFile((fs::path(context.outDir) / name).string(), rgb.data(), width, height, 3)) {
    context.report->note("cannot write the picture " + name);
    return placed;
  }
  context.written.insert(name);
  placed.name = name;
  return placed;
}

std::string textureToken(const std::string& path) {
  std::string clean = path;
  std::replace(clean.begin(), clean.end(), '\\', '/');
  std::string name = fs::path(clean).filename().string();
  for (char& c : name)
    if (std::isspace(static_cast<unsigned char>(c)) || c == '(' || c == ')') c = '_';
  if (name.size() > 200) name = name.substr(name.size() - 200);
  return name;
}

bool writeJpegFile(const std::string& path, const unsigned char* pixels, int width, int height, int channels) {
  const ByteBuffer jpeg =
      encodeJpeg(pixels, width, height, channels == 1 ? JpegPixels::kGrey : JpegPixels::kRgb, JpegSettings{});
  return !jpeg.empty() && saveBytes(path, jpeg);
}

PlacedTexture placeTexture(const aiScene* scene, const std::string& sourcePath, TextureContext& context) {
  PlacedTexture placed;
  if (const aiTexture* embedded = scene->GetEmbeddedTexture(sourcePath.c_str())) {
    std::string name = context.outBase + "_";
    if (!sourcePath.empty() && sourcePath[0] == '*')
      name += sourcePath.substr(1);
    else
      name += stem(textureToken(sourcePath));
    return placeEmbedded(embedded, textureToken(name), context);
  }
  const std::string token = textureToken(sourcePath);
  const std::string extension = extensionOf(token);
  const fs::path source = findSourceFile(sourcePath, context.sourceDir);
  std::error_code ec;
  if (readableByProgram(extension)) {
    placed.name = token;
    const fs::path target = fs::path(context.outDir) / token;
    if (source.empty()) {
      if (!fs::exists(target, ec))
        context.report->note("the picture " + sourcePath + " is not found; its name is kept");
    } else if (!fs::exists(target, ec)) {
      fs::copy_file(source, target, ec);
      if (ec) context.report->note("cannot copy the picture " + source.string() + ": " + ec.message());
    }
    return placed;
  }
  if (extension == "png" && !source.empty()) {
    std::ifstream in(source, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<unsigned char> rgba;
    int width = 0;
    int height = 0;
    if (decodePng(bytes.data(), bytes.size(), rgba, width, height))
      return writeRgba(rgba, width, height, stem(token), context);
  }
  context.report->note("the picture " + sourcePath + " is not carried (the program reads JPEG, BMP, TGA and PCX)");
  return placed;
}

}  // namespace convert
