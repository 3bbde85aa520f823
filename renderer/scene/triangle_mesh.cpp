#include "renderer/scene/triangle_mesh.h"

#include <GL/gl.h>

#include <climits>
#include <cstdlib>

namespace pellarin {

namespace {

constexpr int kFloatsPerTriangle = 9;
constexpr int kFirstCapacity = 16;

void* standardReallocate(void* block, std::size_t bytes) {
  return std::realloc(block, bytes);
}

MeshReallocator reallocate = standardReallocate;

// Makes room for at least one more triangle. Each array is resized on its own; if the second
// fails the first is merely larger than needed and `capacity` still describes both.
bool grow(TriangleMesh& mesh) {
  if (mesh.capacity > INT_MAX / 2) return false;
  const int newCapacity = mesh.capacity == 0 ? kFirstCapacity : mesh.capacity * 2;
  const std::size_t bytes =
      static_cast<std::size_t>(newCapacity) * kFloatsPerTriangle * sizeof(float);
  void* vertices = reallocate(mesh.vertices, bytes);
  if (vertices == nullptr) return false;
  mesh.vertices = static_cast<float*>(vertices);
  void* normals = reallocate(mesh.normals, bytes);
  if (normals == nullptr) return false;
  mesh.normals = static_cast<float*>(normals);
  mesh.capacity = newCapacity;
  return true;
}

void put(float* at, Vec3 v) {
  at[0] = v.x;
  at[1] = v.y;
  at[2] = v.z;
}

}  // namespace

TriangleMesh::~TriangleMesh() {
  std::free(vertices);
  std::free(normals);
}

std::unique_ptr<TriangleMesh> createMesh() {
  return std::make_unique<TriangleMesh>();
}

void clearMesh(TriangleMesh& mesh) {
  mesh.triangleCount = 0;
}

void addTriangle(TriangleMesh& mesh, Vec3 a, Vec3 b, Vec3 c) {
  if (mesh.triangleCount >= mesh.capacity && !grow(mesh)) return;
  const Vec3 n = normalised(cross(b - a, c - b));
  const std::size_t at = static_cast<std::size_t>(mesh.triangleCount) * kFloatsPerTriangle;
  float* v = mesh.vertices + at;
  put(v, a);
  put(v + 3, b);
  put(v + 6, c);
  float* normal = mesh.normals + at;
  put(normal, n);
  put(normal + 3, n);
  put(normal + 6, n);
  ++mesh.triangleCount;
}

void drawMesh(const TriangleMesh& mesh) {
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, mesh.vertices);
  glNormalPointer(GL_FLOAT, 0, mesh.normals);
  glDrawArrays(GL_TRIANGLES, 0, 3 * mesh.triangleCount);
}

void setMeshReallocatorForTesting(MeshReallocator reallocator) {
  reallocate = reallocator != nullptr ? reallocator : standardReallocate;
}

}  // namespace pellarin
