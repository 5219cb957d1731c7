// The scene recipe compiler: what a recipe says is what the engine's scene parser builds
// (items, parents, targets, bones, lights, keys in radians, shapes and behaviours), and
// mistakes are reported with their line.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "loading/envelope.h"
#include "loading/motion.h"
#include "scene/scene.h"
#include "scene/scene_bone.h"
#include "scene/scene_camera.h"
#include "scene/scene_light.h"
#include "scene/scene_object.h"
#include "scene_recipe.h"
#include "support/gfx_recording_driver.h"
#include "support/scene_files.h"

namespace {

RecipeFile recipeFrom(const SceneTempDir& dir, const std::string& text) {
  auto recipe = readRecipeFile(dir.writeText("r.scene", text));
  return recipe ? *recipe : RecipeFile{};
}

class SceneRecipeTest : public ::testing::Test {
 protected:
  SceneTempDir dir;
  RecordingGraphicsDriver driver;
  Scene scene{&driver};

  bool compileAndLoad(const std::string& text) {
    const std::string lws = compileSceneRecipe(recipeFrom(dir, text));
    return scene.loadScene(dir.writeText("out.lws", lws).c_str());
  }
};

TEST_F(SceneRecipeTest, ItemsParentsAndTargetsReachTheParser) {
  const int errors = RecipeErrors::count();
  ASSERT_TRUE(
      compileAndLoad("grid 2.5\n"
                     "null Rig\n  h 0:0 2:360 linear post=offset\n"
                     "null fire   # carries the fire\n  parent Rig\n  scale 0.5\n"
                     "camera Eye\n  position 0 1 -5\n  target fire\n"
                     "light Key\n  type spot\n  parent Rig\n  color 0:1,0,0 1:0,0,1 step post=repeat\n  intensity 0.7\n"
                     "light Fill\n  type point\n"));
  EXPECT_EQ(RecipeErrors::count(), errors);
  EXPECT_FLOAT_EQ(scene.gridSize, 2.5f);
  ASSERT_EQ(scene.objectCount, 2);
  EXPECT_NE(scene.objects[1]->effect, nullptr);  // the null named fire
  const Motion* rig = scene.objects[0]->motions[0].motion;
  EXPECT_EQ(scene.objects[1]->motions[0].motion->parent, rig);
  EXPECT_EQ(scene.cameras[0]->motions[0].motion->target, scene.objects[1]->motions[0].motion);
  EXPECT_FLOAT_EQ(scene.cameras[0]->motions[0].motion->channels[2]->keys[0].value, -5.0f);
  // Degrees in the recipe, radians in the scene; the end behaviour by name.
  const Envelope* h = rig->channels[3];
  ASSERT_EQ(h->keyCount, 2);
  EXPECT_NEAR(h->keys[1].value, 2 * 3.14159265f, 1e-4f);
  EXPECT_EQ(h->keys[1].shape, 3);
  EXPECT_EQ(h->postBehavior, 4);
  ASSERT_EQ(scene.lightCount, 2);
  const SceneLight* key = scene.lights[0];
  EXPECT_EQ(key->parameters.type, 2);
  EXPECT_EQ(key->motions[0].motion->parent, rig);
  const Motion* colour = key->colors[0].motion;
  EXPECT_EQ(colour->channels[0]->keys[1].shape, 4);
  EXPECT_EQ(colour->channels[2]->postBehavior, 2);
  EXPECT_FLOAT_EQ(colour->channels[2]->keys[1].value, 1.0f);
  // A light without colour or intensity lines still gets both, white and full.
  EXPECT_EQ(scene.lights[1]->parameters.type, 1);
  EXPECT_FLOAT_EQ(scene.lights[1]->intensities[0].motion->channels[0]->keys[0].value, 1.0f);
}

TEST_F(SceneRecipeTest, ManyFiresEachNamedFireInTheSceneAndRenamedInTheRecipe) {
  const int errors = RecipeErrors::count();
  ASSERT_TRUE(
      compileAndLoad("null Ring\n"
                     "null fire as Torch0\n  parent Ring\n  x 2\n"
                     "null fire as Torch1\n  parent Torch0\n  scale 0:0.001 2:0.4/s\n"
                     "camera Eye\n  target Torch1\n"
                     "light Key\n"));
  EXPECT_EQ(RecipeErrors::count(), errors);
  ASSERT_EQ(scene.objectCount, 3);
  EXPECT_NE(scene.objects[1]->effect, nullptr);
  EXPECT_NE(scene.objects[2]->effect, nullptr);
  EXPECT_EQ(scene.objects[2]->motions[0].motion->parent, scene.objects[1]->motions[0].motion);
  EXPECT_EQ(scene.cameras[0]->motions[0].motion->target, scene.objects[2]->motions[0].motion);
  // The recipe's names must still be unique.
  compileSceneRecipe(recipeFrom(dir, "null fire as A\nnull fire as A\n"));
  EXPECT_EQ(RecipeErrors::count(), errors + 1);
}

TEST_F(SceneRecipeTest, BonesBelongToTheirObjectAndChainByName) {
  ObjectWriter w;
  w.object(1, 1);
  w.material({});
  w.vertices({{0, 0, 0}, {0, 1, 0}, {0, 2, 0}});
  w.triangles({{0, 1, 2}});
  ASSERT_TRUE(w.save(dir.file("stick.3dx")));
  const int errors = RecipeErrors::count();
  ASSERT_TRUE(
      compileAndLoad("object stick.lwo as First\n"
                     "object stick.lwo as Second\n"
                     "falloff 3\n"
                     "bone Lower\n  parent Second\n  rest 0 0 0\n  direction 0 -90 0\n  length 1\n  strength 1\n"
                     "bone Upper\n  parent Lower\n  rest 0 0 1\n  length 1\n  strength 2\n  weightmap Top\n  p 0:0 "
                     "1:45/t 2:0 step\n"));
  EXPECT_EQ(RecipeErrors::count(), errors);
  ASSERT_EQ(scene.boneCount, 2);
  const SceneBone* lower = scene.bones[0];
  const SceneBone* upper = scene.bones[1];
  EXPECT_EQ(lower->objectIdentity, scene.objects[1]->identity);
  EXPECT_EQ(lower->properties[0].falloffType, 3);
  EXPECT_TRUE(lower->properties[0].active);
  EXPECT_EQ(lower->motions[0].motion->parent, scene.objects[1]->motions[0].motion);
  EXPECT_EQ(upper->motions[0].motion->parent, lower->motions[0].motion);
  EXPECT_STREQ(upper->properties[0].weightMapName, "Top");
  EXPECT_FLOAT_EQ(upper->properties[0].strength, 2.0f);
  // The rest pose is also the motion's value: a bone at rest deforms nothing.
  EXPECT_NEAR(lower->motions[0].motion->channels[4]->keys[0].value, -3.14159265f / 2, 1e-5f);
  const Envelope* pitch = upper->motions[0].motion->channels[4];
  ASSERT_EQ(pitch->keyCount, 3);
  EXPECT_EQ(pitch->keys[1].shape, 0);  // a key's own shape beats the line's
  EXPECT_EQ(pitch->keys[2].shape, 4);
  EXPECT_EQ(scene.objects[1]->boneLinkCount, 2);
  EXPECT_EQ(scene.objects[0]->boneLinkCount, 0);
}

TEST_F(SceneRecipeTest, AmbientLinesBecomeValuesOrEnvelopes) {
  ASSERT_TRUE(
      compileAndLoad("ambient color 0.5,0.25,1\nambient intensity 0:0 4:0.02 tcb post=oscillate\ncamera Eye\n"));
  const Motion* colour = scene.ambientColors[0].motion;
  ASSERT_NE(colour, nullptr);
  EXPECT_FLOAT_EQ(colour->channels[1]->keys[0].value, 0.25f);
  const Envelope* intensity = scene.ambientIntensities[0].motion->channels[0];
  ASSERT_EQ(intensity->keyCount, 2);
  EXPECT_EQ(intensity->postBehavior, 3);
}

TEST_F(SceneRecipeTest, MistakesAreReportedWithTheirLine) {
  struct Case {
    const char* text;
    int errors;
  } cases[] = {
      {"null A\n  wobble 3\n", 1},             // unknown property
      {"null A\n  x 0:1 2\n", 1},              // keys mixed with a constant
      {"null A\n  x 0:one\n", 1},              // not a number
      {"null A\n  x 0:1 post=sideways\n", 1},  // unknown end behaviour
      {"null A\nnull A\n", 1},                 // a name used twice
      {"  x 1\n", 1},                          // a property before any item
      {"camera Eye\n  target Nowhere\n", 1},   // target names nothing
      {"light L\n  type laser\n", 1},          // unknown light type
      {"teleport\n", 1},                       // unknown statement
  };
  for (const Case& c : cases) {
    const int before = RecipeErrors::count();
    compileSceneRecipe(recipeFrom(dir, c.text));
    EXPECT_EQ(RecipeErrors::count() - before, c.errors) << c.text;
  }
}

TEST(RecipeFileTest, WordsOptionsQuotesAndComments) {
  SceneTempDir dir;
  auto recipe = readRecipeFile(dir.writeText(
      "p.txt", "# a comment\npicture t.jpg 8 4 text \"THE END\" b=#ff8000 size=3\n\n  group plate w=2 # note\n"));
  ASSERT_TRUE(recipe.has_value());
  ASSERT_EQ(recipe->lines.size(), 2u);
  const RecipeLine& a = recipe->lines[0];
  ASSERT_EQ(a.words.size(), 6u);
  EXPECT_EQ(a.words[5], "THE END");
  EXPECT_EQ(a.lineNumber, 2);
  EXPECT_FALSE(a.indented);
  const auto orange = a.colour("b", {0, 0, 0});
  EXPECT_FLOAT_EQ(orange[0], 1.0f);
  EXPECT_NEAR(orange[1], 128.0f / 255.0f, 1e-6f);
  EXPECT_FLOAT_EQ(a.number("size", 0), 3.0f);
  EXPECT_FLOAT_EQ(a.number("missing", 7), 7.0f);
  EXPECT_TRUE(recipe->lines[1].indented);
  EXPECT_EQ(recipe->lines[1].options.at("w"), "2");
  EXPECT_FALSE(readRecipeFile(dir.file("absent.txt")).has_value());
}

}  // namespace
