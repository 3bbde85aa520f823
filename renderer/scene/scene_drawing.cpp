// One frame: the view from the orbit camera, then each living crystal as four additively
// blended, sphere-mapped copies of its spikes.
#include <GL/gl.h>

#include "renderer/scene/scene.h"
#include "renderer/scene/scene_drawing.h"
#include "renderer/scene/scene_record.h"
#include "renderer/shell/renderer_state.h"

namespace pellarin {

namespace {

constexpr float kHalfLife = 7.5f;

}  // namespace

void applyQuaternionRotation(Quaternion q) {
  Vec3 axis;
  float angle = 0.0f;
  quaternionToAxisAngle(q, axis, angle);
  glRotatef(radiansToDegrees(angle), axis.x, axis.y, axis.z);
}

Departure departureAt(float age, int fallFlag) {
  Departure departure{identityMatrix(), 1.0f};
  if (age > kHalfLife) {
    const float t = age - kHalfLife;
    departure.alpha = 1.0f - 2.0f * t / 15.0f;
    departure.fallMatrix = fallFlag == 0
                               ? translationMatrix({0.0f, t, 0.0f}) * rotationZ(4.0f * t)
                               : rotationZ(4.0f * t) * translationMatrix({0.0f, 5.0f * t, 0.0f});
  }
  return departure;
}

void drawCrystal(const GrowthPattern& pattern, const Matrix4& fallMatrix, float age,
                 TriangleMesh& mesh) {
  const Matrix4 parent = scaleMatrix({10.0f, 10.0f, 10.0f});
  clearMesh(mesh);
  growCrystal(pattern, 0, parent, fallMatrix, age, mesh);

  drawMesh(mesh);
  glPushMatrix();
  glRotatef(120.0f, 1.0f, 0.0f, 0.0f);
  drawMesh(mesh);
  glPopMatrix();
  glPushMatrix();
  glRotatef(120.0f, 0.0f, 1.0f, 0.0f);
  glRotatef(120.0f, 1.0f, 0.0f, 0.0f);
  drawMesh(mesh);
  glPopMatrix();
  glPushMatrix();
  glRotatef(-120.0f, 0.0f, 1.0f, 0.0f);
  glRotatef(120.0f, 1.0f, 0.0f, 0.0f);
  drawMesh(mesh);
  glPopMatrix();
}

void drawScene(Vec3 eye, Quaternion orientation) {
  const Scene& scene = currentScene();
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glPushMatrix();

  applyQuaternionRotation(orientation);
  glTranslatef(-eye.x, -eye.y, -eye.z);
  glPolygonMode(GL_FRONT_AND_BACK, static_cast<GLenum>(rendererState.polygonMode));
  glDisable(GL_LIGHTING);
  glDepthMask(GL_FALSE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, scene.environmentTexture);
  glEnable(GL_TEXTURE_GEN_S);
  glEnable(GL_TEXTURE_GEN_T);
  glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
  glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);

  for (const std::unique_ptr<Crystal>& slot : scene.crystals) {
    if (!slot || !scene.sharedMesh || !(scene.sceneClock > slot->birthTime)) continue;
    const auto age = static_cast<float>(scene.sceneClock - slot->birthTime);
    const Departure departure = departureAt(age, slot->fallFlag);
    glPushMatrix();
    glTranslatef(slot->position.x, slot->position.y, slot->position.z);
    applyQuaternionRotation(slot->orientation);
    glColor4f(1.0f, 1.0f, 1.0f, departure.alpha);
    drawCrystal(*slot->pattern, departure.fallMatrix, age, *scene.sharedMesh);
    glPopMatrix();
  }

  glDisable(GL_TEXTURE_2D);
  glDisable(GL_TEXTURE_GEN_S);
  glDisable(GL_TEXTURE_GEN_T);
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
  glEnable(GL_LIGHTING);
  glPopMatrix();
}

}  // namespace pellarin
